// Stand-in for a person typing into Scrivlet, for tst_CrashRecovery: the application's own
// document layer (controller, windows, drafts) with three documents, one of them a file, typed
// into one key at a time until the process is killed. Prints the number of rounds typed.
#include "ContentView.h"
#include "DocumentController.h"
#include "DocumentWindow.h"
#include "DraftStore.h"
#include "ScrivletTextView.h"
#include "Settings.h"

#include <QApplication>
#include <QTest>
#include <QTextCursor>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc < 2)
        return 2;
    const DraftStore drafts;
    DocumentController documents(Settings::shared());
    documents.setDraftStore(&drafts);
    DocumentWindow *first = documents.newDocument();
    DocumentWindow *file = documents.openFile(QString::fromLocal8Bit(argv[1]));
    DocumentWindow *second = documents.newDocument();
    if (!file)
        return 3;
    const QList<DocumentWindow *> windows {first, file, second};
    const QString stream = QStringLiteral("abcdefghij\n");
    int round = 0;
    QTimer typing;
    QObject::connect(&typing, &QTimer::timeout, &app, [&] {
        if (file->isLoading())
            return;
        const QChar character = stream.at(round % stream.size());
        for (DocumentWindow *window : windows) {
            ScrivletTextView *view = window->contentView()->textView();
            view->moveCursor(QTextCursor::End);
            if (character == u'\n')
                QTest::keyClick(view, Qt::Key_Return);
            else
                QTest::keyClick(view, character.toLatin1());
        }
        ++round;
        std::printf("typed %d\n", round);
        std::fflush(stdout);
    });
    typing.start(10);
    return QApplication::exec();
}
