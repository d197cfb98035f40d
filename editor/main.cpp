#include "DocumentController.h"
#include "DocumentWindow.h"
#include "ScrivletApp.h"
#include "Settings.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Scrivlet"));
    QApplication::setApplicationVersion(QStringLiteral(SCRIVLET_VERSION));
    QApplication::setOrganizationDomain(QStringLiteral("scrivlet.org"));
    QApplication::setDesktopFileName(QStringLiteral(SCRIVLET_APP_ID));

    DocumentController documents(Settings::shared());
    ScrivletApp commands(Settings::shared(), documents);
    commands.installMenusOnNewWindows();

    const QStringList paths = QApplication::arguments().mid(1);
    documents.openFiles(paths);
    if (documents.windows().isEmpty())
        documents.newDocument();
    return QApplication::exec();
}
