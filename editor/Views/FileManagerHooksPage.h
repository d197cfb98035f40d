#pragma once

#include "FileManagerHooks.h"

#include <QWidget>

class QGridLayout;

// The small window that "Open Extension Settings" shows: the file managers found on this
// computer, whether each one has the "New Text Document" hook, and a button that installs or
// removes the hook for this user. Nautilus's module is installed with Scrivlet's package, so its
// row says how to get it instead.
class FileManagerHooksPage : public QWidget
{
    Q_OBJECT

public:
    explicit FileManagerHooksPage(QWidget *parent = nullptr);
    explicit FileManagerHooksPage(const FileManagerHooks &hooks, QWidget *parent = nullptr);

    // Looks at the file managers and hooks again.
    void reload();

signals:
    // After a hook was installed or removed.
    void hooksChanged();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void addRow(FileManagerHooks::FileManager manager, int row);
    void toggleHook(FileManagerHooks::FileManager manager);

    FileManagerHooks m_hooks;
    QGridLayout *m_rows = nullptr;
};
