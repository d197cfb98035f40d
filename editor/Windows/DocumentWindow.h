#pragma once

#include "DocumentError.h"
#include "DraftStore.h"
#include "FileStamp.h"

#include <QMainWindow>

class ContentView;
class DocumentFile;
class DraftRecorder;
class LoadingBar;
class QLabel;
class QToolBar;
class Settings;
class TextDocumentSaver;
class TextLoader;

// One window per document: the content view, 800 × 600 at first and never smaller than
// 400 × 300.
class DocumentWindow : public QMainWindow
{
    Q_OBJECT

public:
    static constexpr QSize defaultSize {800, 600};
    static constexpr QSize minimumContentSize {400, 300};

    explicit DocumentWindow(Settings &settings, QWidget *parent = nullptr);

    // How long a file may take to open before the loading bar appears.
    static constexpr int loadingBarDelayMilliseconds = 300;

    ContentView *contentView() const { return m_contentView; }
    bool isLoading() const;
    // Whether the document holds its whole text: false from the start of a load until it
    // finishes, and for good after a load that failed or was cancelled. Only such a text is
    // ever written to a file.
    bool holdsWholeText() const { return m_holdsWholeText; }

    // Opens `path` into this window's document, read off the GUI thread. A file that cannot be
    // read opens nothing: loadFailed() carries the reason.
    void load(const QString &path);
    // Makes this empty window the document of `path`, a file that does not exist yet: nothing is
    // written until the first save, which creates it there.
    void startNewFile(const QString &path);

    // The document's file ("" until it is first saved) and the file behind it.
    QString filePath() const;
    DocumentFile *file() const { return m_file; }
    bool isModified() const;
    // The title of a document that has no file yet: "Untitled", "Untitled 2", …
    void setUntitledName(const QString &name);
    // The title without the modified marker.
    QString displayName() const;

    // Save writes to the document's file, or asks where when it has none; Save As always asks.
    // The text is written as it is when the save starts, on a worker, while editing goes on;
    // saveFinished() tells the outcome. A failure has been shown to the user and leaves both
    // the file and the document as they were. A Save asked for while one runs follows it.
    // Each returns whether a save started (or will follow).
    bool startSave();
    bool startSaveAs();
    bool startSaveTo(const QString &path);
    bool isSaving() const;
    // Blocks until no save runs and the outcome of the last one is handled.
    void waitForSave();
    // The same three, returning once the save has ended: whether the document was saved.
    bool save();
    bool saveAs();
    bool saveTo(const QString &path);
    // Reads the file again, dropping the document's own changes.
    void reload();

    // Keeps a draft of the text in `store` while it is edited, so a crash loses nothing.
    void enableDrafts(const DraftStore &store);
    // Shows a draft's recovered text, as an unsaved change of the document it belonged to.
    void restoreDraft(const DraftStore::Draft &draft, QString text);
    // Quitting: saves an edited document to its file, or keeps its text in the drafts store
    // when it has no file or the save fails. Returns the id of the draft that holds the text,
    // or "" when the text is in its file.
    QString preserveForQuit();
    // Closes without asking, after preserveForQuit().
    void closeForQuit();

signals:
    void loaded();
    void loadFailed(const DocumentError &error);
    void loadCancelled();
    void saved(const QString &path);
    void saveFinished(bool saved);
    void openFilesRequested(const QStringList &paths);
    void displayNameChanged();
    // The window accepted its close; it is deleted soon after and must not be used again.
    void closed();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void updateTitle();
    void onChangedOnDisk();
    void keepOwnVersion();
    void finishLoad();
    bool confirmBinary();
    void placeCursorAfterLoad();
    void recordDraftsFromHere();
    void closeDocument(QCloseEvent *event);
    bool beginWrite(const QString &path);
    bool savedWhenDone();
    void onSaved(const FileStamp &stamp, bool fileHoldsText);
    void onSaveFailed(const DocumentError &error);
    void endSaving(bool saved);
    QWidget *createSavingNotice();
    void showSavingStrip();
    QWidget *createDiskChangeNotice();
    void showLoadingBar();
    void endLoading();
    QToolBar *createStrip(QWidget *content);

    ContentView *m_contentView = nullptr;
    TextLoader *m_loader = nullptr;
    LoadingBar *m_loadingBar = nullptr;
    QToolBar *m_loadingStrip = nullptr;
    QToolBar *m_diskChangeStrip = nullptr;
    QToolBar *m_savingStrip = nullptr;
    QLabel *m_savingLabel = nullptr;
    QLabel *m_diskChangeLabel = nullptr;
    DocumentFile *m_file = nullptr;
    TextDocumentSaver *m_saver = nullptr;
    // The file the save under way writes.
    QString m_savingPath;
    // Asked for while a save ran: another save, or the close, once it has ended.
    bool m_saveAgain = false;
    bool m_closeAfterSave = false;
    // Quitting: a failed save is not shown, the draft keeps the text.
    bool m_savingForQuit = false;
    bool m_lastSaveSucceeded = false;
    QString m_untitledName;
    // Where the cursor was before a reload, restored once the file is read again.
    qsizetype m_cursorBeforeReload = -1;
    DraftRecorder *m_drafts = nullptr;
    std::optional<DraftStore::Draft> m_restoredDraft;
    bool m_closingForQuit = false;
    // A recovered draft's text is in the document; it is taken as loaded on the next turn.
    bool m_restoringDraft = false;
    bool m_holdsWholeText = true;
};
