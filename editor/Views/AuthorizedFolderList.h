#pragma once

#include <QList>
#include <QScrollArea>
#include <QUrl>

class QToolButton;
class QVBoxLayout;

// The authorised folders of the file-manager extension pane: one row per folder (its icon, its
// path shortened in the middle, a red button that removes it) in a box that scrolls beyond a few
// rows. The rows are plain widgets in a layout, not widgets laid over list items, so a screen
// reader finds each row (named after its folder) and its button in the accessibility tree, and
// Tab reaches every button.
class AuthorizedFolderList : public QScrollArea
{
    Q_OBJECT

public:
    explicit AuthorizedFolderList(QWidget *parent = nullptr);

    const QList<QUrl> &folders() const { return m_folders; }
    void setFolders(const QList<QUrl> &folders);

    // Gives the keyboard to the remove button of `row`, or of the last row when there are fewer;
    // false when the list is empty.
    bool focusRemoveButton(int row);
    // Puts the rows' buttons between `before` and `after` in the Tab order, as they sit on screen
    // (rows made after the controls around them would come last).
    void placeInTabOrder(QWidget *before, QWidget *after) const;

signals:
    void removeRequested(const QUrl &folder);

private:
    QWidget *createRow(const QUrl &folder);

    QVBoxLayout *m_rows = nullptr;
    QList<QUrl> m_folders;
    QList<QToolButton *> m_removeButtons;
};
