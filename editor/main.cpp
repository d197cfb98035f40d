#include "DocumentWindow.h"
#include "Settings.h"

#include <QApplication>
#include <QMessageBox>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Scrivlet"));
    QApplication::setOrganizationDomain(QStringLiteral("scrivlet.org"));
    QApplication::setDesktopFileName(QStringLiteral(SCRIVLET_APP_ID));

    // The document controller arrives with the File menu; until then each file named on the
    // command line opens in a window of its own, and without files one empty document shows.
    QStringList paths = QApplication::arguments().mid(1);
    if (paths.isEmpty())
        paths.append(QString());
    for (const QString &path : paths) {
        auto *window = new DocumentWindow(Settings::shared());
        if (!path.isEmpty()) {
            QObject::connect(window, &DocumentWindow::loadFailed, window,
                [window, path](const DocumentError &error) {
                    QMessageBox::warning(
                        window, QStringLiteral("Scrivlet"), error.displayMessage());
                    window->close();
                });
            QObject::connect(window, &DocumentWindow::loadCancelled, window, &QWidget::close);
            window->load(path);
        }
        window->show();
    }
    return QApplication::exec();
}
