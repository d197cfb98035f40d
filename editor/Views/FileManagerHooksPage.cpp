#include "FileManagerHooksPage.h"

#include "EscapeCloses.h"
#include "ReturnPressesButtons.h"
#include "UserPrompts.h"

#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;
using FileManager = FileManagerHooks::FileManager;
using HookState = FileManagerHooks::HookState;

namespace {

QString identifier(FileManager manager, const QString &control)
{
    static const char *const names[] = {"nautilus", "nemo", "dolphin", "thunar"};
    return u"scrivlet.extensionSettings."_s + QString::fromLatin1(names[int(manager)]) + u'.'
        + control;
}

// The program a per-user hook runs, as its file names it.
QString userHookProgram(FileManager manager)
{
    QFile file(FileManagerHooks::hookPath(manager));
    return FileManagerHooks::hookProgram(
        manager, file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString());
}

QString stateText(FileManager manager, HookState state)
{
    // Thunar reads its custom actions when it starts; a running Thunar keeps the old menu.
    const QString restart = manager == FileManager::Thunar
        ? u" Thunar shows the change once restarted (“thunar -q”, then open it again)."_s
        : QString();
    switch (state) {
    case HookState::InstalledForUser:
        return u"Installed for you."_s + restart;
    case HookState::InstalledSystemWide:
        return u"Installed for all users"_s;
    case HookState::InstalledForUserAndSystemWide:
        return u"Installed for all users, and also a copy of your own, so the menu shows "
               "“New Text Document” twice. Remove your copy."_s;
    case HookState::Broken:
        return u"Broken: the menu item runs %1, which no longer exists. Remove it (or install it "
               "again)."_s.arg(userHookProgram(manager))
            + restart;
    case HookState::NotInstalled:
        break;
    }
    if (FileManagerHooks::installsPerUser(manager))
        return u"Not installed."_s + restart;
    return u"Not installed. Install the package of Scrivlet’s Nautilus extension (it puts %1 in "
           "place), then restart Files with “nautilus -q”."_s.arg(
               QFileInfo(FileManagerHooks::hookPath(manager)).fileName());
}

} // namespace

FileManagerHooksPage::FileManagerHooksPage(QWidget *parent)
    : FileManagerHooksPage(FileManagerHooks(), parent)
{ }

FileManagerHooksPage::FileManagerHooksPage(const FileManagerHooks &hooks, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_hooks(hooks)
{
    setObjectName(u"scrivlet.extensionSettings"_s);
    setWindowTitle(u"File Manager Extensions"_s);
    auto *layout = new QVBoxLayout(this);
    auto *intro = new QLabel(u"Scrivlet adds “New Text Document” to the menu of a folder’s "
                             "background in these file managers."_s,
        this);
    intro->setWordWrap(true);
    layout->addWidget(intro);
    auto *rows = new QWidget(this);
    m_rows = new QGridLayout(rows);
    m_rows->setContentsMargins(0, 0, 0, 0);
    m_rows->setColumnStretch(1, 1);
    layout->addWidget(rows);
    layout->addStretch();
    setMinimumWidth(460);
    // Escape and Ctrl+W close it, as they close the Settings window it came from.
    EscapeCloses::install(this);
    ReturnPressesButtons::install(this);
    connect(new QShortcut(QKeySequence::Close, this), &QShortcut::activated, this, &QWidget::close);
    reload();
}

void FileManagerHooksPage::showEvent(QShowEvent *event)
{
    reload();
    QWidget::showEvent(event);
}

void FileManagerHooksPage::reload()
{
    while (QLayoutItem *item = m_rows->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    int row = 0;
    for (const FileManager manager : FileManagerHooks::allFileManagers) {
        if (FileManagerHooks::isPresent(manager)
            || m_hooks.state(manager) != HookState::NotInstalled)
            addRow(manager, row++);
    }
    if (row == 0) {
        m_rows->addWidget(new QLabel(u"No supported file manager (Files, Nemo, Dolphin, Thunar) "
                                     "was found."_s,
                              m_rows->parentWidget()),
            0, 0, 1, 3);
    }
}

void FileManagerHooksPage::addRow(FileManager manager, int row)
{
    QWidget *parent = m_rows->parentWidget();
    auto *name = new QLabel(FileManagerHooks::displayName(manager), parent);
    QFont bold = name->font();
    bold.setBold(true);
    name->setFont(bold);
    const HookState state = m_hooks.state(manager);
    auto *status = new QLabel(stateText(manager, state), parent);
    status->setObjectName(identifier(manager, u"state"_s));
    status->setWordWrap(true);
    status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_rows->addWidget(name, row, 0, Qt::AlignTop);
    m_rows->addWidget(status, row, 1);
    if (!FileManagerHooks::installsPerUser(manager) || state == HookState::InstalledSystemWide)
        return;
    const bool installed = state != HookState::NotInstalled;
    auto *button = new QPushButton(state == HookState::InstalledForUserAndSystemWide
            ? u"Remove Your Copy"_s
            : (installed ? u"Remove"_s : u"Install"_s),
        parent);
    button->setObjectName(identifier(manager, u"button"_s));
    button->setAccessibleName(
        (installed ? u"Remove the hook for %1"_s : u"Install the hook for %1"_s)
            .arg(FileManagerHooks::displayName(manager)));
    connect(button, &QPushButton::clicked, this, [this, manager] { toggleHook(manager); });
    m_rows->addWidget(button, row, 2, Qt::AlignTop);
}

void FileManagerHooksPage::toggleHook(FileManager manager)
{
    const bool installed = m_hooks.state(manager) != HookState::NotInstalled;
    QString error;
    const bool changed
        = installed ? m_hooks.remove(manager, error) : m_hooks.install(manager, error);
    if (!changed) {
        UserPrompts::current().showError(this,
            (installed ? u"Could not remove the hook for %1"_s
                       : u"Could not install the hook for %1"_s)
                .arg(FileManagerHooks::displayName(manager)),
            error);
    }
    // Rebuilt from the event loop: the clicked button is one of the rows.
    QMetaObject::invokeMethod(this, &FileManagerHooksPage::reload, Qt::QueuedConnection);
    if (changed)
        emit hooksChanged();
}
