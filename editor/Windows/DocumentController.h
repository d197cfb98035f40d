#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>

struct DocumentError;
class DraftStore;
class DocumentWindow;
class RecentFiles;
class Settings;

// The open documents of the process, one window each: New, Open, Open Recent, and the rule that
// a file already open is brought forward instead of being opened twice.
class DocumentController : public QObject
{
    Q_OBJECT

public:
    explicit DocumentController(Settings &settings, QObject *parent = nullptr);
    ~DocumentController() override;

    QList<DocumentWindow *> windows() const;
    RecentFiles &recentFiles() const { return *m_recentFiles; }
    // The file-name extensions the Open dialog offers.
    QStringList openableExtensions() const;

    // A window on a new, empty document named "Untitled", "Untitled 2", …
    DocumentWindow *newDocument();
    // Opens each file, or brings its window forward when it is open already. A file that cannot
    // be read opens no window; the user is told why.
    void openFiles(const QStringList &paths);
    DocumentWindow *openFile(const QString &path);
    // Asks for files and opens them.
    void showOpenDialog(QWidget *parent);
    // The window showing `path`, compared by canonical path, if any.
    DocumentWindow *windowForFile(const QString &path) const;

    // From now on every window keeps a draft of its edits in `store` (not owned).
    void setDraftStore(const DraftStore *store) { m_draftStore = store; }
    const DraftStore *draftStore() const { return m_draftStore; }
    // Opens a window with the draft's recovered text; nothing when it cannot be recovered (the
    // draft is kept), or when it recovers nothing unsaved (the draft is removed).
    DocumentWindow *restoreDraft(const QString &draftId);

signals:
    void windowAdded(DocumentWindow *window);
    // The set of windows or one of their titles changed.
    void windowsChanged();

private:
    DocumentWindow *createWindow();
    QString nextUntitledName() const;
    void track(DocumentWindow *window);
    void reportOpenFailure(QWidget *window, const QString &path, const DocumentError &error) const;

    Settings &m_settings;
    RecentFiles *m_recentFiles = nullptr;
    // Open windows, in the order they were made: a window leaves when its close is accepted (or
    // it is destroyed). Compared by pointer only: a QPointer to a window being destroyed would be
    // cast to a type it no longer has.
    QList<DocumentWindow *> m_windows;
    const DraftStore *m_draftStore = nullptr;
};
