#include "DocumentController.h"

#include "DocumentWindow.h"
#include "DraftStore.h"
#include "RecentFiles.h"
#include "ScrivletDocument.h"
#include "Settings.h"
#include "UserPrompts.h"

#include <QFileInfo>

#include <cerrno>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

QString canonicalOrAbsolute(const QString &path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

// A draft is made at the first edit and its journal written a moment later, so a crash in
// between leaves one without a single edit: an untitled text that comes back empty, or a file's
// draft that would only repeat its file. Neither holds anything unsaved.
bool recoversNothing(
    const DraftStore &store, const DraftStore::Draft &draft, const QString &recoveredText)
{
    if (draft.filePath.isEmpty())
        return recoveredText.isEmpty();
    return draft.base == DraftStore::BaseKind::File && store.journalSize(draft.id) == 0;
}

// A name to be created, as other editors take it: nothing is there (not even a dangling link) and
// its folder exists. Any other reason a file cannot be read is reported instead.
bool namesNewFile(const QString &absolutePath)
{
    struct stat info = {};
    if (::lstat(QFile::encodeName(absolutePath).constData(), &info) == 0 || errno != ENOENT)
        return false;
    return QFileInfo(QFileInfo(absolutePath).absolutePath()).isDir();
}

} // namespace

DocumentController::DocumentController(Settings &settings, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_recentFiles(new RecentFiles(this))
{ }

DocumentController::~DocumentController() = default;

QList<DocumentWindow *> DocumentController::windows() const
{
    return m_windows;
}

QStringList DocumentController::openableExtensions() const
{
    const std::optional<QStringList> listed = m_settings.fileExtensions();
    return listed && !listed->isEmpty() ? *listed : QStringList {u"txt"_s, u"text"_s};
}

DocumentWindow *DocumentController::newDocument()
{
    const QString name = nextUntitledName();
    DocumentWindow *window = createWindow();
    window->setUntitledName(name);
    window->show();
    return window;
}

void DocumentController::openFiles(const QStringList &paths)
{
    for (const QString &path : paths)
        openFile(path);
}

DocumentWindow *DocumentController::openFile(const QString &path)
{
    if (DocumentWindow *open = windowForFile(path)) {
        open->show();
        open->raise();
        open->activateWindow();
        return open;
    }
    const QString absolute = QFileInfo(path).absoluteFilePath();
    if (namesNewFile(absolute)) {
        DocumentWindow *window = createWindow();
        window->startNewFile(absolute);
        window->show();
        return window;
    }
    // What can be told without reading is told before any window appears.
    if (const std::optional<DocumentError> problem = ScrivletDocument::checkReadable(absolute)) {
        reportOpenFailure(nullptr, absolute, *problem);
        return nullptr;
    }
    DocumentWindow *window = createWindow();
    connect(window, &DocumentWindow::loadFailed, window,
        [this, window, absolute](const DocumentError &error) {
            reportOpenFailure(window, absolute, error);
            window->close();
        });
    connect(window, &DocumentWindow::loadCancelled, window, &QWidget::close);
    connect(
        window, &DocumentWindow::loaded, this, [this, absolute] { m_recentFiles->add(absolute); });
    window->load(absolute);
    window->show();
    return window;
}

void DocumentController::reportOpenFailure(
    QWidget *window, const QString &path, const DocumentError &error) const
{
    QString detail = error.displayMessage();
    if (!error.detail.isEmpty())
        detail += u"\n\n"_s + error.detail;
    UserPrompts::current().showError(window,
        u"The document “%1” could not be opened."_s.arg(QFileInfo(path).fileName()), detail);
}

DocumentWindow *DocumentController::restoreDraft(const QString &draftId)
{
    if (!m_draftStore)
        return nullptr;
    const std::optional<DraftStore::Draft> draft = m_draftStore->draft(draftId);
    std::optional<QString> text = m_draftStore->recoverText(draftId);
    if (!draft || !text) {
        qWarning("Draft %s could not be recovered; it is kept in %s", qPrintable(draftId),
            qPrintable(m_draftStore->folder()));
        return nullptr;
    }
    if (recoversNothing(*m_draftStore, *draft, *text)) {
        m_draftStore->remove(draftId);
        return nullptr;
    }
    DocumentWindow *window = createWindow();
    window->restoreDraft(*draft, std::move(*text));
    window->show();
    return window;
}

void DocumentController::showOpenDialog(QWidget *parent)
{
    openFiles(UserPrompts::current().chooseFilesToOpen(parent, openableExtensions()));
}

DocumentWindow *DocumentController::windowForFile(const QString &path) const
{
    const QString wanted = canonicalOrAbsolute(path);
    for (DocumentWindow *window : windows()) {
        if (!window->filePath().isEmpty() && canonicalOrAbsolute(window->filePath()) == wanted)
            return window;
    }
    return nullptr;
}

DocumentWindow *DocumentController::createWindow()
{
    auto *window = new DocumentWindow(m_settings);
    if (m_draftStore)
        window->enableDrafts(*m_draftStore);
    track(window);
    emit windowAdded(window);
    emit windowsChanged();
    return window;
}

// The lowest number that no open untitled window uses, so names are reused once freed.
QString DocumentController::nextUntitledName() const
{
    QStringList used;
    for (DocumentWindow *window : windows()) {
        if (window->filePath().isEmpty())
            used.append(window->displayName());
    }
    for (int number = 1;; ++number) {
        const QString name = number == 1 ? u"Untitled"_s : u"Untitled %1"_s.arg(number);
        if (!used.contains(name))
            return name;
    }
}

void DocumentController::track(DocumentWindow *window)
{
    m_windows.append(window);
    // A closing window is dropped at once: until it is deleted it must not be handed out as the
    // window of its file, nor be listed in the session.
    const auto forget = [this, window] {
        if (m_windows.removeAll(window) > 0)
            emit windowsChanged();
    };
    connect(window, &DocumentWindow::closed, this, forget);
    connect(window, &QObject::destroyed, this, forget);
    connect(window, &DocumentWindow::displayNameChanged, this, &DocumentController::windowsChanged);
    connect(window, &DocumentWindow::openFilesRequested, this, &DocumentController::openFiles);
    connect(window, &DocumentWindow::saved, m_recentFiles, &RecentFiles::add);
}
