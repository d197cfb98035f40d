#include "AuthorizedFolderList.h"

#include "ElidedLabel.h"

#include <QFileIconProvider>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

const QString idPrefix = u"scrivlet.preferences.finderExtension."_s;

// A red filled circle with a white bar, the row's remove button.
QIcon removeIcon()
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xE0, 0x1B, 0x24));
    painter.drawEllipse(QRectF(2, 2, 28, 28));
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(QRectF(9, 14.5, 14, 3), 1.5, 1.5);
    return QIcon(pixmap);
}

} // namespace

AuthorizedFolderList::AuthorizedFolderList(QWidget *parent)
    : QScrollArea(parent)
{
    setObjectName(idPrefix + u"folderList"_s);
    setAccessibleName(tr("Authorized folders"));
    // Tab goes to the rows' buttons and scrolls to each; the box is no stop of its own.
    setFocusPolicy(Qt::NoFocus);
    setBackgroundRole(QPalette::Base);
    setWidgetResizable(true);
    // Rows take the box's width and shorten their paths, so the remove buttons stay in view.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setMinimumHeight(80);
    setMaximumHeight(160);
    auto *content = new QWidget;
    m_rows = new QVBoxLayout(content);
    m_rows->setContentsMargins(0, 2, 0, 2);
    m_rows->setSpacing(0);
    m_rows->addStretch(1);
    setWidget(content);
}

void AuthorizedFolderList::setFolders(const QList<QUrl> &folders)
{
    if (folders == m_folders)
        return;
    m_folders = folders;
    m_removeButtons.clear();
    while (m_rows->count() > 1) {
        QLayoutItem *item = m_rows->takeAt(0);
        delete item->widget();
        delete item;
    }
    for (const QUrl &folder : folders)
        m_rows->insertWidget(m_rows->count() - 1, createRow(folder));
}

bool AuthorizedFolderList::focusRemoveButton(int row)
{
    if (m_removeButtons.isEmpty())
        return false;
    QToolButton *button = m_removeButtons.at(std::clamp(row, 0, int(m_removeButtons.size()) - 1));
    button->setFocus(Qt::TabFocusReason);
    ensureWidgetVisible(button);
    return true;
}

void AuthorizedFolderList::placeInTabOrder(QWidget *before, QWidget *after) const
{
    QWidget *previous = before;
    for (QToolButton *button : m_removeButtons) {
        QWidget::setTabOrder(previous, button);
        previous = button;
    }
    QWidget::setTabOrder(previous, after);
}

QWidget *AuthorizedFolderList::createRow(const QUrl &folder)
{
    auto *row = new QWidget(widget());
    const QString path = folder.toLocalFile();
    row->setObjectName(idPrefix + u"folderRow"_s);
    row->setAccessibleName(path);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(4, 2, 4, 2);
    auto *icon = new QLabel(row);
    icon->setPixmap(QFileIconProvider().icon(QFileInfo(path)).pixmap(16, 16));
    auto *label = new ElidedLabel(Qt::ElideMiddle, row);
    label->setFullText(path);
    // The whole path, however short the row shows it; without a description of its own the
    // label would offer its tooltip, the same path again.
    label->setAccessibleName(path);
    label->setAccessibleDescription(tr("Folder where new text files can be created"));
    auto *remove = new QToolButton(row);
    remove->setObjectName(idPrefix + u"removeFolder"_s);
    remove->setAutoRaise(true);
    remove->setIcon(removeIcon());
    remove->setIconSize(QSize(16, 16));
    remove->setAccessibleName(tr("Remove folder %1").arg(path));
    remove->setAccessibleDescription(
        tr("Stop the file-manager extension from creating files in this folder"));
    remove->setToolTip(tr("Remove %1").arg(path));
    connect(remove, &QToolButton::clicked, this, [this, folder] {
        // The row goes away when the list is rebuilt, so that waits for the click to finish.
        QMetaObject::invokeMethod(
            this, [this, folder] { emit removeRequested(folder); }, Qt::QueuedConnection);
    });
    m_removeButtons.append(remove);
    layout->addWidget(icon);
    layout->addWidget(label, 1);
    layout->addWidget(remove);
    return row;
}
