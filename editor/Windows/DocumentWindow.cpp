#include "DocumentWindow.h"

#include "ContentView.h"
#include "DocumentFile.h"
#include "DraftRecorder.h"
#include "LoadingBar.h"
#include "ScrivletDocument.h"
#include "ScrivletTextView.h"
#include "TextDocumentSaver.h"
#include "TextLoader.h"
#include "UserPrompts.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QTimer>
#include <QToolBar>

#include <utility>

DocumentWindow::DocumentWindow(Settings &settings, QWidget *parent)
    : QMainWindow(parent)
    , m_contentView(new ContentView(settings, this))
    , m_loader(new TextLoader(m_contentView->textView()->document(), this))
    , m_loadingBar(new LoadingBar(this))
    , m_file(new DocumentFile(this))
    , m_saver(new TextDocumentSaver(m_contentView->textView()->document(), DocumentWriter(), this))
    , m_untitledName(QStringLiteral("Untitled"))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setCentralWidget(m_contentView);
    setMinimumSize(minimumContentSize);
    resize(defaultSize);
    updateTitle();

    m_loadingStrip = createStrip(m_loadingBar);
    m_diskChangeStrip = createStrip(createDiskChangeNotice());
    m_savingStrip = createStrip(createSavingNotice());

    connect(m_contentView->textView()->document(), &TextDocument::modificationChanged, this,
        &QWidget::setWindowModified);
    connect(m_contentView->textView(), &ScrivletTextView::filesDropped, this,
        &DocumentWindow::openFilesRequested);
    connect(m_file, &DocumentFile::pathChanged, this, &DocumentWindow::updateTitle);
    connect(m_file, &DocumentFile::changedOnDisk, this, &DocumentWindow::onChangedOnDisk);
    connect(m_saver, &TextDocumentSaver::saved, this, &DocumentWindow::onSaved);
    connect(m_saver, &TextDocumentSaver::failed, this, &DocumentWindow::onSaveFailed);

    // A file's CR LF and lone CR show and save as LF, the one line break a save writes.
    m_loader->setLineBreaks(TextLoader::LineBreaks::LineFeeds);
    connect(m_loader, &TextLoader::progress, m_loadingBar, &LoadingBar::setProgress);
    connect(m_loadingBar, &LoadingBar::cancelRequested, m_loader, &TextLoader::cancel);
    connect(m_loader, &TextLoader::finished, this, [this] {
        if (m_loader->containsNul() && !confirmBinary()) {
            m_contentView->textView()->document()->setText(QString());
            endLoading();
            emit loadCancelled();
            return;
        }
        finishLoad();
    });
    connect(m_loader, &TextLoader::failed, this, [this](const DocumentError &error) {
        endLoading();
        emit loadFailed(error);
    });
    connect(m_loader, &TextLoader::cancelled, this, [this] {
        endLoading();
        emit loadCancelled();
    });
}

bool DocumentWindow::isLoading() const
{
    return m_loader->isLoading() || m_restoringDraft;
}

// The file is watched from here on, also behind a recovered draft's text.
void DocumentWindow::finishLoad()
{
    if (!m_contentView->filePath().isEmpty())
        m_file->setLoaded(m_contentView->filePath());
    m_holdsWholeText = true;
    endLoading();
    placeCursorAfterLoad();
    recordDraftsFromHere();
    emit loaded();
}

// A file with NUL characters is most likely no text: the user decides, knowing whether saving
// it unedited would write other bytes than it holds (another encoding, other line endings).
bool DocumentWindow::confirmBinary()
{
    return UserPrompts::current().confirmOpenBinary(
        this, displayName(), m_loader->savingChangesBytes());
}

void DocumentWindow::load(const QString &path)
{
    const QFileInfo info(path);
    m_contentView->setFilePath(info.absoluteFilePath());
    updateTitle();
    m_contentView->textView()->setReadOnly(true);
    m_holdsWholeText = false;
    m_loadingBar->setFileName(info.fileName());
    m_loadingBar->setProgress(0, 1);
    QTimer::singleShot(loadingBarDelayMilliseconds, this, &DocumentWindow::showLoadingBar);
    if (m_drafts)
        m_drafts->pause();
    m_loader->load(path);
}

void DocumentWindow::startNewFile(const QString &path)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    m_contentView->setFilePath(absolute);
    // The stamp of a missing file: a file another program puts there later is a change on disk.
    m_file->setLoaded(absolute);
    if (m_drafts)
        m_drafts->startFrom(absolute);
    updateTitle();
}

void DocumentWindow::enableDrafts(const DraftStore &store)
{
    m_drafts = new DraftRecorder(m_contentView->textView()->document(), store, this);
    m_drafts->setUntitledName(m_untitledName);
    if (!m_loader->isLoading() && filePath().isEmpty())
        m_drafts->startFrom(QString());
}

void DocumentWindow::restoreDraft(const DraftStore::Draft &draft, QString text)
{
    m_restoredDraft = draft;
    if (!draft.untitledName.isEmpty())
        m_untitledName = draft.untitledName;
    if (!draft.filePath.isEmpty())
        m_contentView->setFilePath(QFileInfo(draft.filePath).absoluteFilePath());
    updateTitle();
    m_holdsWholeText = false;
    if (m_drafts)
        m_drafts->pause();
    m_contentView->textView()->document()->setText(std::move(text));
    // Whoever restores the draft hears of it as of a load, after it has connected to loaded().
    m_restoringDraft = true;
    QTimer::singleShot(0, this, [this] {
        m_restoringDraft = false;
        finishLoad();
    });
}

// After a load the document holds the file as read, or a recovered draft's text, which stays
// an unsaved change until it is saved or thrown away.
void DocumentWindow::recordDraftsFromHere()
{
    if (m_restoredDraft) {
        m_contentView->textView()->document()->setModified(true);
        if (m_drafts)
            m_drafts->continueDraft(*m_restoredDraft);
        m_restoredDraft.reset();
        return;
    }
    if (m_drafts)
        m_drafts->startFrom(filePath());
}

QString DocumentWindow::preserveForQuit()
{
    // A save under way ends first, and nothing is shown about a failure: the draft keeps the text.
    m_savingForQuit = true;
    const auto savedForQuit = qScopeGuard([this] { m_savingForQuit = false; });
    waitForSave();
    // A text that never arrived whole is nobody's edit; a draft being restored stays as it is.
    if (!m_holdsWholeText) {
        if (m_restoredDraft)
            return m_restoredDraft->id;
        return m_drafts ? m_drafts->draftId() : QString();
    }
    if (!isModified()) {
        if (m_drafts && !isModified())
            m_drafts->discard();
        return m_drafts ? m_drafts->draftId() : QString();
    }
    if (!filePath().isEmpty() && !m_file->isChangedOnDisk() && beginWrite(filePath())
        && savedWhenDone())
        return QString();
    // Untitled, changed on disk by someone else, or the save failed: the draft keeps the text.
    if (!m_drafts)
        return QString();
    if (!m_drafts->hasDraft() || !m_drafts->flush())
        m_drafts->snapshot();
    return m_drafts->draftId();
}

void DocumentWindow::closeForQuit()
{
    m_closingForQuit = true;
    close();
}

QToolBar *DocumentWindow::createStrip(QWidget *content)
{
    auto *strip = new QToolBar(this);
    strip->setMovable(false);
    strip->setFloatable(false);
    strip->addWidget(content);
    strip->hide();
    addToolBar(Qt::TopToolBarArea, strip);
    return strip;
}

void DocumentWindow::showLoadingBar()
{
    if (m_loader->isLoading())
        m_loadingStrip->show();
}

void DocumentWindow::endLoading()
{
    m_loadingStrip->hide();
    m_contentView->textView()->setReadOnly(false);
}

QString DocumentWindow::filePath() const
{
    return m_contentView->filePath();
}

bool DocumentWindow::isModified() const
{
    return m_contentView->textView()->document()->isModified();
}

void DocumentWindow::setUntitledName(const QString &name)
{
    m_untitledName = name;
    if (m_drafts)
        m_drafts->setUntitledName(name);
    updateTitle();
}

QString DocumentWindow::displayName() const
{
    const QString path = filePath();
    return path.isEmpty() ? m_untitledName : QFileInfo(path).fileName();
}

void DocumentWindow::updateTitle()
{
    const QString title = displayName() + QStringLiteral("[*]");
    if (title == windowTitle())
        return;
    setWindowTitle(title);
    setWindowFilePath(filePath());
    emit displayNameChanged();
}

bool DocumentWindow::startSave()
{
    if (m_saver->isSaving()) {
        // One writer at a time: the text as it is when this save ends is saved next.
        m_saveAgain = true;
        return true;
    }
    if (filePath().isEmpty())
        return startSaveAs();
    return startSaveTo(filePath());
}

bool DocumentWindow::startSaveAs()
{
    const QString suggested
        = filePath().isEmpty() ? m_untitledName + QStringLiteral(".txt") : filePath();
    const std::optional<QString> path = UserPrompts::current().chooseSaveLocation(this, suggested);
    return path && startSaveTo(*path);
}

bool DocumentWindow::startSaveTo(const QString &path)
{
    // Part of a text would replace the whole file (or make a truncated copy of it).
    if (!m_holdsWholeText)
        return false;
    waitForSave();
    const bool sameFile = QFileInfo(path).absoluteFilePath() == filePath();
    if (sameFile && m_file->isChangedOnDisk()
        && !UserPrompts::current().confirmOverwriteNewer(this, displayName()))
        return false;
    return beginWrite(path);
}

bool DocumentWindow::isSaving() const
{
    return m_saver->isSaving();
}

void DocumentWindow::waitForSave()
{
    // The end of one save may start the one asked for meanwhile.
    while (m_saver->isSaving())
        m_saver->waitForFinished();
}

bool DocumentWindow::save()
{
    waitForSave();
    return startSave() && savedWhenDone();
}

bool DocumentWindow::saveAs()
{
    return startSaveAs() && savedWhenDone();
}

bool DocumentWindow::saveTo(const QString &path)
{
    return startSaveTo(path) && savedWhenDone();
}

bool DocumentWindow::savedWhenDone()
{
    waitForSave();
    return m_lastSaveSucceeded;
}

// The text is written as it is now; the state it shows becomes the saved one.
bool DocumentWindow::beginWrite(const QString &path)
{
    m_saver->setWriter(m_file->writer());
    if (!m_saver->save(path))
        return false;
    m_savingPath = QFileInfo(path).absoluteFilePath();
    m_file->beginSave();
    if (m_drafts)
        m_drafts->saveStarted();
    QTimer::singleShot(loadingBarDelayMilliseconds, this, &DocumentWindow::showSavingStrip);
    return true;
}

void DocumentWindow::onSaved(const FileStamp &stamp, bool fileHoldsText)
{
    m_file->endSave(m_savingPath, stamp);
    m_contentView->setFilePath(m_file->path());
    if (m_drafts)
        m_drafts->saveSucceeded(m_file->path(), fileHoldsText);
    m_diskChangeStrip->hide();
    updateTitle();
    endSaving(true);
    emit saved(m_file->path());
}

void DocumentWindow::onSaveFailed(const DocumentError &error)
{
    m_file->endSave(m_savingPath, std::nullopt);
    if (m_drafts)
        m_drafts->saveFailed();
    endSaving(false);
    if (!m_savingForQuit)
        UserPrompts::current().showError(this, error.displayMessage(), error.detail);
}

void DocumentWindow::endSaving(bool saved)
{
    m_savingStrip->hide();
    m_lastSaveSucceeded = saved;
    const bool saveAgain = std::exchange(m_saveAgain, false);
    const bool close = std::exchange(m_closeAfterSave, false);
    emit saveFinished(saved);
    if (!saved || m_savingForQuit)
        return;
    if (saveAgain && isModified())
        startSaveTo(filePath());
    // A close waits for the save; it asks again about edits made meanwhile.
    if (close)
        QTimer::singleShot(0, this, [this] {
            if (!m_closingForQuit)
                this->close();
        });
}

QWidget *DocumentWindow::createSavingNotice()
{
    m_savingLabel = new QLabel(this);
    m_savingLabel->setObjectName(QStringLiteral("scrivlet.savingNotice"));
    m_savingLabel->setContentsMargins(12, 6, 12, 6);
    return m_savingLabel;
}

void DocumentWindow::showSavingStrip()
{
    if (!m_saver->isSaving())
        return;
    m_savingLabel->setText(QStringLiteral("Saving “%1”…").arg(QFileInfo(m_savingPath).fileName()));
    m_savingStrip->show();
}

void DocumentWindow::reload()
{
    if (filePath().isEmpty() || m_loader->isLoading())
        return;
    waitForSave();
    m_diskChangeStrip->hide();
    m_cursorBeforeReload = m_contentView->textView()->cursorPosition();
    load(filePath());
}

// A text is read from its start; a reload goes back to where the cursor was.
void DocumentWindow::placeCursorAfterLoad()
{
    ScrivletTextView *view = m_contentView->textView();
    view->setCursorPosition(
        std::clamp<qsizetype>(m_cursorBeforeReload, 0, view->document()->length()));
    view->ensureCaretVisible();
    m_cursorBeforeReload = -1;
}

// Without edits of its own the document simply follows the file; with them, the user chooses.
void DocumentWindow::onChangedOnDisk()
{
    if (!isModified() && !m_loader->isLoading()) {
        reload();
        return;
    }
    // The file is no longer the text the draft was recorded against.
    if (m_drafts && m_drafts->hasDraft())
        m_drafts->snapshot();
    m_diskChangeLabel->setText(
        QStringLiteral("“%1” was changed by another program.").arg(displayName()));
    m_diskChangeStrip->show();
}

void DocumentWindow::keepOwnVersion()
{
    m_diskChangeStrip->hide();
}

QWidget *DocumentWindow::createDiskChangeNotice()
{
    auto *notice = new QWidget(this);
    notice->setObjectName(QStringLiteral("scrivlet.diskChangeNotice"));
    m_diskChangeLabel = new QLabel(notice);
    m_diskChangeLabel->setWordWrap(true);
    auto *reload = new QPushButton(QStringLiteral("Reload"), notice);
    reload->setObjectName(QStringLiteral("scrivlet.diskChangeNotice.reload"));
    reload->setToolTip(QStringLiteral("Show the file as it is now, dropping your changes"));
    auto *keep = new QPushButton(QStringLiteral("Keep"), notice);
    keep->setObjectName(QStringLiteral("scrivlet.diskChangeNotice.keep"));
    keep->setToolTip(QStringLiteral("Keep your version; saving asks before replacing the file"));
    auto *layout = new QHBoxLayout(notice);
    layout->setContentsMargins(12, 6, 12, 6);
    layout->addWidget(m_diskChangeLabel, 1);
    layout->addWidget(reload);
    layout->addWidget(keep);
    connect(reload, &QPushButton::clicked, this, &DocumentWindow::reload);
    connect(keep, &QPushButton::clicked, this, &DocumentWindow::keepOwnVersion);
    return notice;
}

void DocumentWindow::closeEvent(QCloseEvent *event)
{
    closeDocument(event);
    if (!event->isAccepted())
        return;
    // Tearing the document down reports changes too; they are not edits to record.
    if (m_drafts)
        m_drafts->pause();
    emit closed();
}

void DocumentWindow::closeDocument(QCloseEvent *event)
{
    if (m_loader->isLoading())
        m_loader->cancel();
    // preserveForQuit() has kept the text; a part of a text is no edit to ask about, and any
    // draft behind it stays for the next launch.
    if (m_closingForQuit || !m_holdsWholeText) {
        event->accept();
        return;
    }
    // Never half a save: the window goes once it has ended, unless it failed.
    if (m_saver->isSaving()) {
        m_closeAfterSave = true;
        event->ignore();
        return;
    }
    if (!isModified()) {
        if (m_drafts)
            m_drafts->discard();
        event->accept();
        return;
    }
    const UserPrompts::SaveChangesAnswer answer = UserPrompts::current().askSaveChanges(this);
    // Quitting while the question was open (a termination request) has kept the text already.
    if (m_closingForQuit) {
        event->accept();
        return;
    }
    switch (answer) {
    case UserPrompts::SaveChangesAnswer::Save:
        // Closed once the save has succeeded; a failure keeps the window and its edits.
        m_closeAfterSave = startSave();
        event->ignore();
        return;
    case UserPrompts::SaveChangesAnswer::DontSave:
        if (m_drafts)
            m_drafts->discard();
        event->accept();
        return;
    case UserPrompts::SaveChangesAnswer::Cancel:
        event->ignore();
        return;
    }
}
