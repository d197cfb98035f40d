#include "PreferencesWindowController.h"

#include "EscapeCloses.h"
#include "PreferencesView.h"
#include "ReturnPressesButtons.h"
#include "Settings.h"
#include "WindowAccessibility.h"

#include <QApplication>
#include <QScreen>
#include <QScrollArea>
#include <QShortcut>
#include <QVBoxLayout>

#include <algorithm>

PreferencesWindowController &PreferencesWindowController::shared()
{
    static PreferencesWindowController controller(Settings::shared());
    return controller;
}

PreferencesWindowController::PreferencesWindowController(Settings &settings, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
{
    // Quitting with the window open: it goes while the application can still delete widgets.
    if (QCoreApplication *application = QCoreApplication::instance())
        connect(application, &QCoreApplication::aboutToQuit, this, [this] { delete m_window; });
}

PreferencesWindowController::~PreferencesWindowController()
{
    // The shared controller outlives the application object; widgets cannot be deleted then.
    if (QApplication::instance())
        delete m_window;
}

void PreferencesWindowController::showPreferences()
{
    if (m_window && m_window->isVisible()) {
        if (m_window->isMinimized())
            m_window->setWindowState(m_window->windowState() & ~Qt::WindowMinimized);
        m_window->raise();
        m_window->activateWindow();
        return;
    }
    delete m_window;
    buildWindow();
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void PreferencesWindowController::setFinderExtensionPaneFactory(PaneFactory factory)
{
    m_paneFactory = std::move(factory);
    if (m_view && m_paneFactory)
        m_view->setFinderExtensionPane(m_paneFactory());
}

QSize PreferencesWindowController::fittedSize(const QSize &available)
{
    return contentSize.boundedTo(available - QSize(0, titleBarAllowance));
}

void PreferencesWindowController::buildWindow()
{
    WindowAccessibility::install();
    auto *window = new QWidget(nullptr, Qt::Window);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setObjectName(QStringLiteral("scrivlet.preferences.window"));
    window->setWindowTitle(windowTitle);

    m_view = new PreferencesView(m_settings);
    if (m_paneFactory)
        m_view->setFinderExtensionPane(m_paneFactory());
    // The form is taller than the window: it scrolls, and keeps its width limit when the
    // window is wider.
    auto *scroll = new QScrollArea(window);
    scroll->setFrameShape(QFrame::NoFrame);
    // Tab goes from control to control and scrolls to each; the area is no stop of its own.
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->setWidgetResizable(true);
    scroll->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    scroll->setWidget(m_view);
    auto *layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll);

    auto *close = new QShortcut(QKeySequence::Close, window);
    connect(close, &QShortcut::activated, window, &QWidget::close);
    EscapeCloses::install(window);
    ReturnPressesButtons::install(window);
    if (m_windowSetup)
        m_windowSetup(*window);

    const QWidget *active = QApplication::activeWindow();
    const QScreen *screen = active ? active->screen() : QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect(QPoint(), contentSize);
    const QSize size = fittedSize(available.size());
    window->setMinimumSize(minimumContentSize.boundedTo(size));
    window->resize(size);
    QRect frame(QPoint(), size + QSize(0, titleBarAllowance));
    frame.moveCenter(available.center());
    window->move(std::max(frame.left(), available.left()), std::max(frame.top(), available.top()));
    m_view->focusFirstControl();
    m_window = window;
}
