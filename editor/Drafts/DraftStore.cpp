#include "DraftStore.h"

#include "ScrivletDocument.h"

#include <algorithm>

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QSaveFile>
#include <QSet>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace {

Q_LOGGING_CATEGORY(lcDrafts, "scrivlet.drafts")

constexpr QFile::Permissions privateFile = QFile::ReadOwner | QFile::WriteOwner;
constexpr quint32 editMagic = 0x53'45'44'54; // "SEDT"

QString baseName(DraftStore::BaseKind kind)
{
    switch (kind) {
    case DraftStore::BaseKind::File:
        return u"file"_s;
    case DraftStore::BaseKind::Snapshot:
        return u"snapshot"_s;
    case DraftStore::BaseKind::Empty:
        break;
    }
    return u"empty"_s;
}

DraftStore::BaseKind baseKind(const QString &name)
{
    if (name == u"file")
        return DraftStore::BaseKind::File;
    if (name == u"snapshot")
        return DraftStore::BaseKind::Snapshot;
    return DraftStore::BaseKind::Empty;
}

bool writeAtomically(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.setPermissions(privateFile);
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

// A record cut short by a crash ends the replay; everything before it is kept. A whole record
// that does not fit the text (as earlier versions could write for Return on an empty last line)
// is applied to the part of the text it covers, so the edits after it are not lost.
void replayJournal(QFile &journal, QString &text)
{
    QDataStream in(&journal);
    while (!in.atEnd()) {
        quint32 magic = 0;
        qint64 position = 0;
        qint64 removed = 0;
        quint32 units = 0;
        in >> magic >> position >> removed >> units;
        if (in.status() != QDataStream::Ok || magic != editMagic
            || units > (journal.size() - journal.pos()) / 2)
            break;
        QString inserted(qsizetype(units), Qt::Uninitialized);
        if (in.readRawData(reinterpret_cast<char *>(inserted.data()), qint64(units) * 2)
            != qint64(units) * 2)
            break;
        if (position < 0 || removed < 0 || position > text.size()
            || removed > text.size() - position) {
            qCWarning(lcDrafts,
                "Draft edit at %lld removing %lld does not fit the text of %lld characters",
                position, removed, qint64(text.size()));
            position = std::clamp<qint64>(position, 0, text.size());
            removed = std::clamp<qint64>(removed, 0, text.size() - position);
        }
        text.replace(position, removed, inserted);
    }
}

bool isValidId(const QString &id)
{
    // Ids name files: never a path.
    return !id.isEmpty() && !id.contains(u'/') && !id.startsWith(u'.');
}

} // namespace

DraftStore::DraftStore(QString folder)
    : m_folder(std::move(folder))
{
    if (m_folder.isEmpty())
        m_folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
            + u"/scrivlet/drafts"_s;
}

QString DraftStore::pathFor(const QString &id, const char *suffix) const
{
    return m_folder + u'/' + id + QLatin1StringView(suffix);
}

bool DraftStore::ensureFolder() const
{
    if (!QDir().mkpath(m_folder))
        return false;
    return QFile::setPermissions(m_folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QList<DraftStore::Draft> DraftStore::drafts() const
{
    QList<Draft> found;
    QSet<QString> replaced;
    const QStringList names = QDir(m_folder).entryList({u"*.json"_s}, QDir::Files, QDir::Time);
    for (const QString &name : names) {
        if (std::optional<Draft> draft = this->draft(name.chopped(5))) {
            found.append(*draft);
            if (!draft->replaces.isEmpty())
                replaced.insert(draft->replaces);
        }
    }
    // A crash between recording a new snapshot and removing the draft it replaced leaves both;
    // the old one's journal belongs to the old base and must never be replayed.
    const auto stale = std::remove_if(found.begin(), found.end(),
        [&replaced](const Draft &draft) { return replaced.contains(draft.id); });
    for (auto draft = stale; draft != found.end(); ++draft)
        remove(draft->id);
    found.erase(stale, found.end());
    return found;
}

std::optional<DraftStore::Draft> DraftStore::draft(const QString &id) const
{
    if (!isValidId(id))
        return std::nullopt;
    QFile file(pathFor(id, ".json"));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QJsonObject object = QJsonDocument::fromJson(file.readAll()).object();
    if (object.isEmpty())
        return std::nullopt;
    Draft draft;
    draft.id = id;
    draft.filePath = object.value(u"filePath").toString();
    draft.untitledName = object.value(u"untitledName").toString();
    draft.base = baseKind(object.value(u"base").toString());
    draft.replaces = object.value(u"replaces").toString();
    if (draft.base == BaseKind::File) {
        draft.baseStamp.size = qint64(object.value(u"baseSize").toDouble(-1));
        draft.baseStamp.modified = QDateTime::fromMSecsSinceEpoch(
            qint64(object.value(u"baseModified").toDouble()), Qt::UTC);
        draft.baseAppendsLineFeed = object.value(u"baseAppendsLineFeed").toBool();
    }
    return draft;
}

bool DraftStore::writeDescription(const Draft &draft) const
{
    if (!isValidId(draft.id) || !ensureFolder())
        return false;
    QJsonObject object {
        {u"filePath"_s, draft.filePath},
        {u"untitledName"_s, draft.untitledName},
        {u"base"_s, baseName(draft.base)},
    };
    if (!draft.replaces.isEmpty())
        object.insert(u"replaces"_s, draft.replaces);
    if (draft.base == BaseKind::File) {
        object.insert(u"baseSize"_s, double(draft.baseStamp.size));
        object.insert(u"baseModified"_s, double(draft.baseStamp.modified.toMSecsSinceEpoch()));
        object.insert(u"baseAppendsLineFeed"_s, draft.baseAppendsLineFeed);
    }
    return writeAtomically(pathFor(draft.id, ".json"), QJsonDocument(object).toJson());
}

bool DraftStore::writeSnapshot(const QString &id, QStringView text) const
{
    if (!isValidId(id) || !ensureFolder())
        return false;
    // UTF-16 as it is: a snapshot keeps even text that UTF-8 cannot hold.
    const QByteArray bytes(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
    if (!writeAtomically(pathFor(id, ".snapshot"), bytes))
        return false;
    QFile::remove(pathFor(id, ".journal"));
    return true;
}

bool DraftStore::appendEdits(const QString &id, const QList<Edit> &edits) const
{
    if (!isValidId(id) || !ensureFolder())
        return false;
    QFile file(pathFor(id, ".journal"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    file.setPermissions(privateFile);
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    for (const Edit &edit : edits) {
        out << editMagic << edit.position << edit.removed << quint32(edit.inserted.size());
        out.writeRawData(
            reinterpret_cast<const char *>(edit.inserted.utf16()), edit.inserted.size() * 2);
    }
    return file.write(bytes) == bytes.size() && file.flush();
}

void DraftStore::remove(const QString &id) const
{
    if (!isValidId(id))
        return;
    for (const char *suffix : {".journal", ".snapshot", ".json"})
        QFile::remove(pathFor(id, suffix));
}

qint64 DraftStore::journalSize(const QString &id) const
{
    return QFileInfo(pathFor(id, ".journal")).size();
}

std::optional<QString> DraftStore::recoverText(const QString &id) const
{
    const std::optional<Draft> described = draft(id);
    if (!described)
        return std::nullopt;
    QString text;
    if (described->base == BaseKind::File) {
        if (FileStamp::of(described->filePath) != described->baseStamp)
            return std::nullopt;
        DocumentResult<ScrivletDocument> read = ScrivletDocument::read(described->filePath);
        if (!read)
            return std::nullopt;
        text = ScrivletDocument::normalizeLineEndings(read->text);
        if (described->baseAppendsLineFeed)
            text.append(u'\n');
    } else if (described->base == BaseKind::Snapshot) {
        QFile snapshot(pathFor(id, ".snapshot"));
        if (!snapshot.open(QIODevice::ReadOnly))
            return std::nullopt;
        const QByteArray bytes = snapshot.readAll();
        text = QString(reinterpret_cast<const QChar *>(bytes.constData()), bytes.size() / 2);
    }
    QFile journal(pathFor(id, ".journal"));
    if (journal.open(QIODevice::ReadOnly))
        replayJournal(journal, text);
    return text;
}
