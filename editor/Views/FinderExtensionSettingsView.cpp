#include "FinderExtensionSettingsView.h"

#include "AuthorizedFolderList.h"
#include "BookmarkManager.h"
#include "FileManagerHooks.h"
#include "FileManagerHooksPage.h"
#include "WindowAccessibility.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

const QString idPrefix = u"scrivlet.preferences.finderExtension."_s;

// The 8-point dot before the status text: green when enabled, red when not.
class StatusDot : public QWidget
{
public:
    explicit StatusDot(QWidget *parent)
        : QWidget(parent)
    {
        setFixedSize(8, 8);
    }

    void setEnabledState(bool enabled)
    {
        if (m_enabled == enabled)
            return;
        m_enabled = enabled;
        update();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(m_enabled ? QColor(0x2E, 0xC2, 0x7E) : QColor(0xE0, 0x1B, 0x24));
        painter.drawEllipse(rect());
    }

private:
    bool m_enabled = false;
};

QLabel *makeSecondaryText(const QString &text, qreal scale, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setForegroundRole(QPalette::PlaceholderText);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * scale);
    label->setFont(font);
    return label;
}

QFrame *makeDivider(QWidget *parent)
{
    auto *divider = new QFrame(parent);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);
    return divider;
}

// A directory dialog in which several folders can be chosen at once: Qt's own dialog, whose
// views allow that, since the desktop's folder choosers take one folder.
QStringList chooseFoldersWithDialog(QWidget *parent)
{
    QFileDialog dialog(parent, u"Authorize Folders"_s);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setDirectory(QDir::homePath());
    dialog.setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
    dialog.setLabelText(QFileDialog::Accept, u"Authorize"_s);
    for (auto *view : dialog.findChildren<QAbstractItemView *>())
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    if (auto *grid = qobject_cast<QGridLayout *>(dialog.layout())) {
        auto *message = new QLabel(
            u"Select folders where the file-manager extension can create new text files."_s,
            &dialog);
        message->setWordWrap(true);
        grid->addWidget(message, grid->rowCount(), 0, 1, grid->columnCount());
    }
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles() : QStringList();
}

} // namespace

FinderExtensionSettingsView::FinderExtensionSettingsView(QWidget *parent)
    : FinderExtensionSettingsView(BookmarkManager::shared(), Platform(), parent)
{
    m_platform.isExtensionEnabled = [] {
        return FileManagerHooks().isExtensionEnabled();
    };
    m_platform.showExtensionManagementInterface = [this] {
        showHooksPage();
    };
    m_platform.chooseFolders = chooseFoldersWithDialog;
    updateStatus();
}

FinderExtensionSettingsView::FinderExtensionSettingsView(
    BookmarkManager &bookmarkManager, Platform platform, QWidget *parent)
    : QWidget(parent)
    , m_bookmarkManager(bookmarkManager)
    , m_platform(std::move(platform))
{
    setObjectName(idPrefix + u"pane"_s);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);
    createStatusRow();
    layout->addWidget(makeDivider(this));
    createOptionRows();
    layout->addWidget(makeDivider(this));
    createFolderRows();
    reload();
}

FinderExtensionSettingsView::~FinderExtensionSettingsView()
{
    delete m_hooksPage;
}

void FinderExtensionSettingsView::createStatusRow()
{
    auto *row = new QHBoxLayout;
    m_statusDot = new StatusDot(this);
    m_statusDot->setObjectName(idPrefix + u"statusDot"_s);
    m_statusText = makeSecondaryText(QString(), 0.92, this);
    m_statusText->setObjectName(idPrefix + u"status"_s);
    auto *settings = new QPushButton(u"Open Extension Settings"_s, this);
    settings->setObjectName(idPrefix + u"openExtensionSettings"_s);
    settings->setAccessibleDescription(u"Install or remove the file-manager hooks"_s);
    connect(settings, &QPushButton::clicked, this, [this] {
        if (m_platform.showExtensionManagementInterface)
            m_platform.showExtensionManagementInterface();
    });
    row->addWidget(m_statusDot);
    row->addWidget(m_statusText);
    row->addStretch();
    row->addWidget(settings);
    static_cast<QVBoxLayout *>(layout())->addLayout(row);
}

void FinderExtensionSettingsView::createOptionRows()
{
    auto *row = new QHBoxLayout;
    auto *label = new QLabel(u"Default filename:"_s, this);
    m_filename = new QLineEdit(this);
    m_filename->setObjectName(idPrefix + u"filename"_s);
    m_filename->setPlaceholderText(u"Filename"_s);
    m_filename->setAccessibleName(u"Filename"_s);
    // Without a description of its own, Qt would offer the placeholder, the name again.
    m_filename->setAccessibleDescription(u"Name the files created from the file manager"_s);
    m_filename->setMaximumWidth(200);
    label->setBuddy(m_filename);
    connect(m_filename, &QLineEdit::textEdited, this,
        [this](const QString &text) { m_bookmarkManager.setFilename(text); });
    row->addWidget(label);
    row->addWidget(m_filename, 1);
    row->addStretch();
    auto *layout = static_cast<QVBoxLayout *>(this->layout());
    layout->addLayout(row);

    m_openAfterCreate = new QCheckBox(u"Open file in Scrivlet after creation"_s, this);
    m_openAfterCreate->setObjectName(idPrefix + u"openAfterCreate"_s);
    connect(m_openAfterCreate, &QCheckBox::clicked, this,
        [this](bool on) { m_bookmarkManager.setOpenAfterCreate(on); });
    layout->addWidget(m_openAfterCreate);
}

void FinderExtensionSettingsView::createFolderRows()
{
    auto *layout = static_cast<QVBoxLayout *>(this->layout());
    auto *heading = new QLabel(u"Authorized Folders"_s, this);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    layout->addWidget(heading);
    QLabel *explanation
        = makeSecondaryText(u"The file-manager extension can create new text files in "
                            "these folders and their subfolders."_s,
            0.85, this);
    explanation->setWordWrap(true);
    layout->addWidget(explanation);

    m_folderList = new AuthorizedFolderList(this);
    connect(m_folderList, &AuthorizedFolderList::removeRequested, this,
        &FinderExtensionSettingsView::removeFolder);
    layout->addWidget(m_folderList);

    auto *row = new QHBoxLayout;
    m_addFolder = new QPushButton(u"Add Folder..."_s, this);
    m_addFolder->setObjectName(idPrefix + u"addFolder"_s);
    m_addFolder->setAccessibleDescription(u"Choose folders where new text files can be created"_s);
    connect(m_addFolder, &QPushButton::clicked, this, &FinderExtensionSettingsView::addFolder);
    m_folderCount = makeSecondaryText(QString(), 0.85, this);
    m_folderCount->setObjectName(idPrefix + u"folderCount"_s);
    row->addWidget(m_addFolder);
    row->addStretch();
    row->addWidget(m_folderCount);
    layout->addLayout(row);
}

void FinderExtensionSettingsView::showEvent(QShowEvent *event)
{
    reload();
    QWidget::showEvent(event);
}

void FinderExtensionSettingsView::reload()
{
    setMonitoredFolders(m_bookmarkManager.allBookmarkedUrls());
    const QString filename = m_bookmarkManager.filename();
    if (m_filename->text() != filename)
        m_filename->setText(filename);
    const bool open = m_bookmarkManager.openAfterCreate();
    if (m_openAfterCreate->isChecked() != open)
        m_openAfterCreate->setChecked(open);
    updateStatus();
}

void FinderExtensionSettingsView::updateStatus()
{
    const bool enabled = m_platform.isExtensionEnabled && m_platform.isExtensionEnabled();
    static_cast<StatusDot *>(m_statusDot)->setEnabledState(enabled);
    m_statusDot->setAccessibleName(enabled ? u"Enabled"_s : u"Not enabled"_s);
    m_statusText->setText(enabled ? u"File-manager extension is enabled"_s
                                  : u"File-manager extension is not enabled"_s);
}

void FinderExtensionSettingsView::addFolder()
{
    if (!m_platform.chooseFolders)
        return;
    const QStringList chosen = m_platform.chooseFolders(this);
    if (chosen.isEmpty())
        return;
    // A folder that cannot be authorised is logged by the store and simply stays off the list.
    for (const QString &folder : chosen)
        m_bookmarkManager.addBookmark(QUrl::fromLocalFile(folder));
    setMonitoredFolders(m_bookmarkManager.allBookmarkedUrls());
}

// A keyboard user whose button went with its row goes on from the row that took its place (or the
// last one), else from Add Folder..., never from nowhere.
void FinderExtensionSettingsView::removeFolder(const QUrl &folder)
{
    const bool hadFocus = m_folderList->isAncestorOf(focusWidget());
    const int row = int(m_monitoredFolders.indexOf(folder));
    m_bookmarkManager.removeBookmark(folder);
    setMonitoredFolders(m_bookmarkManager.allBookmarkedUrls());
    if (hadFocus && !m_folderList->focusRemoveButton(row))
        m_addFolder->setFocus(Qt::TabFocusReason);
}

void FinderExtensionSettingsView::setMonitoredFolders(const QList<QUrl> &folders)
{
    m_folderCount->setText(QString::number(folders.size()) + u" folder(s) authorized"_s);
    m_monitoredFolders = folders;
    m_folderList->setFolders(folders);
    m_folderList->placeInTabOrder(m_openAfterCreate, m_addFolder);
}

void FinderExtensionSettingsView::showHooksPage()
{
    if (!m_hooksPage) {
        WindowAccessibility::install();
        m_hooksPage = new FileManagerHooksPage(window());
        m_hooksPage->setAttribute(Qt::WA_DeleteOnClose);
        connect(m_hooksPage, &FileManagerHooksPage::hooksChanged, this,
            &FinderExtensionSettingsView::updateStatus);
    }
    m_hooksPage->show();
    m_hooksPage->raise();
    m_hooksPage->activateWindow();
}
