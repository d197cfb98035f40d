#include <QApplication>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Scrivlet"));
    QApplication::setOrganizationDomain(QStringLiteral("scrivlet.org"));
    QApplication::setDesktopFileName(QStringLiteral(SCRIVLET_APP_ID));

    // The document windows arrive with the document layer; until then one empty window shows the
    // program starts and draws.
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Untitled"));
    window.resize(800, 600);
    window.show();
    return QApplication::exec();
}
