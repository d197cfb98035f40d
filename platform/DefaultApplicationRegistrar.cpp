#include "DefaultApplicationRegistrar.h"

#include "DefaultApplicationPolicy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLoggingCategory>
#include <QMutex>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>
#include <QThreadPool>
#include <QXmlStreamWriter>

#include <atomic>

// GLib names a struct member "signals", which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>
#pragma pop_macro("signals")

Q_LOGGING_CATEGORY(lcAssociations, "scrivlet.associations")

namespace {

// One registration at a time: GIO rewrites mimeapps.list as a whole, and two runs of
// update-mime-database on the same folder would race for its cache files.
QMutex &registrationMutex()
{
    static QMutex mutex;
    return mutex;
}

constexpr int updateTimeoutMilliseconds = 60'000;

const QString setState = QStringLiteral("set");
const QString declinedState = QStringLiteral("declined");

// MIME type to "set" or "declined"; read and written only under registrationMutex().
QHash<QString, QString> readState()
{
    QHash<QString, QString> state;
    QFile file(DefaultApplicationRegistrar::stateFilePath());
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return state;
    while (!file.atEnd()) {
        const QStringList fields = QString::fromUtf8(file.readLine()).simplified().split(u' ');
        if (fields.size() == 2 && (fields.at(0) == setState || fields.at(0) == declinedState))
            state.insert(fields.at(1), fields.at(0));
    }
    return state;
}

void writeState(const QString &mimeType, const QString &value)
{
    QHash<QString, QString> state = readState();
    if (state.value(mimeType) == value)
        return;
    state.insert(mimeType, value);
    const QString path = DefaultApplicationRegistrar::stateFilePath();
    QSaveFile file(path);
    QByteArray text;
    for (auto it = state.cbegin(); it != state.cend(); ++it)
        text += it.value().toUtf8() + ' ' + it.key().toUtf8() + '\n';
    if (!QDir().mkpath(QFileInfo(path).absolutePath()) || !file.open(QIODevice::WriteOnly)
        || file.write(text) != text.size() || !file.commit())
        qCWarning(lcAssociations).noquote() << "FileAssociationsManager: could not write" << path;
}

QString currentDefault(const QString &mimeType)
{
    GAppInfo *application = g_app_info_get_default_for_type(mimeType.toUtf8().constData(), FALSE);
    if (!application)
        return {};
    const QString id = QString::fromUtf8(g_app_info_get_id(application));
    g_object_unref(application);
    return id;
}

bool registerLocked(const QString &applicationId, const FileContentType &type);

} // namespace

namespace DefaultApplicationRegistrar {

bool isInstalled(const QString &applicationId)
{
    GDesktopAppInfo *application = g_desktop_app_info_new(applicationId.toUtf8().constData());
    if (!application)
        return false;
    g_object_unref(application);
    return true;
}

QString stateFilePath()
{
    // Qt 6.4 has no state location, so the XDG rule is applied here.
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || QDir::isRelativePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/scrivlet/default-applications");
}

bool registerNow(const QString &applicationId, const FileContentType &type)
{
    const QMutexLocker lock(&registrationMutex());
    return registerLocked(applicationId, type);
}

void registerAtLaunch(const QString &applicationId, const FileContentType &type)
{
    const QMutexLocker lock(&registrationMutex());
    const QHash<QString, QString> state = readState();
    const QString recorded = state.value(type.mimeType);
    const bool installed = isInstalled(applicationId);
    const DefaultApplicationPolicy::Facts facts {installed, recorded == setState,
        recorded == declinedState, installed ? currentDefault(type.mimeType) : QString(),
        applicationId};
    if (DefaultApplicationPolicy::atLaunch(facts) == DefaultApplicationPolicy::Decision::Register)
        registerLocked(applicationId, type);
}

void recordDeclined(const QString &mimeType)
{
    const QMutexLocker lock(&registrationMutex());
    writeState(mimeType, declinedState);
}

} // namespace DefaultApplicationRegistrar

namespace {

bool registerLocked(const QString &applicationId, const FileContentType &type)
{
    if (!type.undeclaredExtension.isEmpty()) {
        // Without the declaration the association would hold, but no file would ever be
        // recognised as the type, so it is worth saying why files still open elsewhere.
        UserMimePackage::Outcome outcome = UserMimePackage::install(type);
        // A package written while update-mime-database was missing is still waiting for it.
        if (outcome == UserMimePackage::Outcome::Unchanged
            && !UserMimePackage::databaseIncludes(type.undeclaredExtension))
            outcome = UserMimePackage::Outcome::Written;
        switch (outcome) {
        case UserMimePackage::Outcome::Written:
            if (!UserMimePackage::updateDatabase())
                qCWarning(lcAssociations).noquote()
                    << "FileAssociationsManager: could not rebuild the user MIME database in"
                    << UserMimePackage::mimeDirectory();
            break;
        case UserMimePackage::Outcome::Failed:
            qCWarning(lcAssociations).noquote()
                << "FileAssociationsManager: could not write"
                << UserMimePackage::packageFilePath(type.undeclaredExtension);
            break;
        case UserMimePackage::Outcome::Unchanged:
            break;
        }
    }

    GDesktopAppInfo *application = g_desktop_app_info_new(applicationId.toUtf8().constData());
    if (!application) {
        // Expected when running from a build tree; said once, not for every extension.
        static std::atomic_flag reported;
        if (!reported.test_and_set())
            qCWarning(lcAssociations).noquote()
                << "FileAssociationsManager: no installed desktop file" << applicationId
                << "- cannot become the default application";
        return false;
    }
    GError *error = nullptr;
    const bool registered = g_app_info_set_as_default_for_type(
        G_APP_INFO(application), type.mimeType.toUtf8().constData(), &error);
    if (registered) {
        writeState(type.mimeType, setState);
    } else {
        qCWarning(lcAssociations).noquote()
            << "FileAssociationsManager: cannot become the default application for" << type.mimeType
            << "-" << QString::fromUtf8(error ? error->message : "");
        g_clear_error(&error);
    }
    g_object_unref(application);
    return registered;
}

} // namespace

namespace DefaultApplicationRegistrar {

void queue(const QString &applicationId, const FileContentType &type)
{
    QThreadPool::globalInstance()->start(
        [applicationId, type] { registerNow(applicationId, type); });
}

std::function<void(const QString &, const FileContentType &)> queueingHandler()
{
    return &queue;
}

std::function<void(const QString &, const FileContentType &)> launchHandler()
{
    return [](const QString &applicationId, const FileContentType &type) {
        QThreadPool::globalInstance()->start(
            [applicationId, type] { registerAtLaunch(applicationId, type); });
    };
}

void queueDecline(const QString &mimeType)
{
    QThreadPool::globalInstance()->start([mimeType] { recordDeclined(mimeType); });
}

// The global pool is also the one QCoreApplication drains when the application quits.
void waitForQueued()
{
    QThreadPool::globalInstance()->waitForDone();
}

} // namespace DefaultApplicationRegistrar

namespace UserMimePackage {

QString mimeDirectory()
{
    // GLib's idea of the user data folder is the one GIO and update-mime-database use.
    return QFile::decodeName(g_get_user_data_dir()) + QStringLiteral("/mime");
}

QString packageFilePath(const QString &extension)
{
    const QString name = extension == u"text"
        ? QStringLiteral(SCRIVLET_APP_ID ".xml")
        : QStringLiteral(SCRIVLET_APP_ID ".extension-") + extension + QStringLiteral(".xml");
    return mimeDirectory() + QStringLiteral("/packages/") + name;
}

QByteArray packageXml(const FileContentType &type)
{
    if (type.undeclaredExtension.isEmpty())
        return {};
    QByteArray xml;
    QXmlStreamWriter writer(&xml);
    writer.setAutoFormatting(true);
    writer.writeStartDocument();
    writer.writeDefaultNamespace(
        QStringLiteral("http://www.freedesktop.org/standards/shared-mime-info"));
    writer.writeStartElement(QStringLiteral("mime-info"));
    writer.writeStartElement(QStringLiteral("mime-type"));
    writer.writeAttribute(QStringLiteral("type"), type.mimeType);
    if (type.mimeType != u"text/plain") {
        writer.writeTextElement(QStringLiteral("comment"),
            QStringLiteral("Plain text document (.%1)").arg(type.undeclaredExtension));
        writer.writeEmptyElement(QStringLiteral("sub-class-of"));
        writer.writeAttribute(QStringLiteral("type"), QStringLiteral("text/plain"));
    }
    writer.writeEmptyElement(QStringLiteral("glob"));
    writer.writeAttribute(
        QStringLiteral("pattern"), QStringLiteral("*.") + type.undeclaredExtension);
    writer.writeEndDocument();
    return xml;
}

Outcome install(const FileContentType &type)
{
    const QByteArray xml = packageXml(type);
    if (xml.isEmpty() || !FileContentTypes::isValidExtension(type.undeclaredExtension))
        return Outcome::Failed;
    const QString path = packageFilePath(type.undeclaredExtension);
    QFile existing(path);
    if (existing.open(QIODevice::ReadOnly) && existing.readAll() == xml)
        return Outcome::Unchanged;
    existing.close();
    if (!QDir().mkpath(mimeDirectory() + QStringLiteral("/packages")))
        return Outcome::Failed;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(xml) != xml.size() || !file.commit())
        return Outcome::Failed;
    return Outcome::Written;
}

bool databaseIncludes(const QString &extension)
{
    const QFileInfo cache(mimeDirectory() + QStringLiteral("/mime.cache"));
    const QFileInfo package(packageFilePath(extension));
    return cache.exists() && cache.lastModified() >= package.lastModified();
}

bool updateDatabase()
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("update-mime-database"));
    if (program.isEmpty())
        return false;
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(program, {mimeDirectory()});
    if (!process.waitForFinished(updateTimeoutMilliseconds)) {
        process.kill();
        process.waitForFinished();
        return false;
    }
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

} // namespace UserMimePackage
