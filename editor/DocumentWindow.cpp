#include "DocumentWindow.h"

#include "ContentView.h"
#include "DocumentLoader.h"
#include "LineNumberGutter.h"
#include "LoadingBar.h"
#include "ScrivletTextView.h"
#include "TextStatisticsTracker.h"

#include <QApplication>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QToolBar>

DocumentWindow::DocumentWindow(Settings &settings, QWidget *parent)
    : QMainWindow(parent)
    , m_contentView(new ContentView(settings, this))
    , m_loader(new DocumentLoader(m_contentView->textView()->document(), this))
    , m_loadingBar(new LoadingBar(this))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setCentralWidget(m_contentView);
    setMinimumSize(minimumContentSize);
    resize(defaultSize);
    setWindowTitle(QStringLiteral("Untitled[*]"));

    m_loadingStrip = createStrip(m_loadingBar);
    m_longLineStrip = createStrip(createLongLineNotice());

    connect(m_loader, &DocumentLoader::progress, m_loadingBar, &LoadingBar::setProgress);
    connect(m_loader, &DocumentLoader::lineCountKnown, this,
        [this](int lines) { m_contentView->textView()->gutter()->reserveLineCount(lines); });
    connect(m_loader, &DocumentLoader::aboutToAppend, m_contentView->statistics(),
        &TextStatisticsTracker::expectAppend);
    connect(m_loadingBar, &LoadingBar::cancelRequested, m_loader, &DocumentLoader::cancel);
    connect(m_loader, &DocumentLoader::finished, this, [this] {
        endLoading();
        if (m_loader->longLineLayout())
            showLongLineNotice();
        emit loaded();
    });
    connect(m_loader, &DocumentLoader::failed, this, [this](const DocumentError &error) {
        endLoading();
        emit loadFailed(error);
    });
    connect(m_loader, &DocumentLoader::cancelled, this, [this] {
        endLoading();
        emit loadCancelled();
    });
}

bool DocumentWindow::isLoading() const
{
    return m_loader->isLoading();
}

void DocumentWindow::load(const QString &path)
{
    const QFileInfo info(path);
    setWindowTitle(info.fileName() + QStringLiteral("[*]"));
    m_contentView->setFilePath(info.absoluteFilePath());
    m_contentView->textView()->setReadOnly(true);
    m_loadingBar->setFileName(info.fileName());
    m_loadingBar->setProgress(0, 1);
    QTimer::singleShot(loadingBarDelayMilliseconds, this, &DocumentWindow::showLoadingBar);
    m_loader->load(path);
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

QWidget *DocumentWindow::createLongLineNotice()
{
    auto *notice = new QWidget(this);
    notice->setObjectName(QStringLiteral("scrivlet.longLineNotice"));
    auto *label = new QLabel(
        QStringLiteral(
            "This file has very long lines, so it is shown read-only to stay responsive. "
            "Its text is complete and is never changed."),
        notice);
    label->setWordWrap(true);
    auto *edit = new QPushButton(QStringLiteral("Edit Anyway"), notice);
    edit->setObjectName(QStringLiteral("scrivlet.longLineNotice.editAnyway"));
    edit->setToolTip(QStringLiteral("Editing very long lines can be slow"));
    auto *layout = new QHBoxLayout(notice);
    layout->setContentsMargins(12, 6, 12, 6);
    layout->addWidget(label, 1);
    layout->addWidget(edit);
    connect(edit, &QPushButton::clicked, this, &DocumentWindow::editAnyway);
    return notice;
}

void DocumentWindow::showLoadingBar()
{
    if (m_loader->isLoading())
        m_loadingStrip->show();
}

void DocumentWindow::endLoading()
{
    m_contentView->textView()->gutter()->reserveLineCount(0);
    m_loadingStrip->hide();
    m_contentView->textView()->setReadOnly(false);
}

void DocumentWindow::showLongLineNotice()
{
    m_contentView->setLongLineDisplay(&*m_loader->longLineLayout(), &m_loader->originalText());
    m_longLineStrip->show();
}

// The real text goes into the document; its long lines are laid out once each, which takes a
// while for lines of millions of characters, so the window says it is busy meanwhile.
void DocumentWindow::editAnyway()
{
    m_longLineStrip->hide();
    m_contentView->setLongLineDisplay(nullptr, nullptr);
    m_contentView->textView()->setReadOnly(true);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    connect(
        m_loader, &DocumentLoader::finished, this, [] { QApplication::restoreOverrideCursor(); },
        Qt::SingleShotConnection);
    m_loader->editAnyway();
}
