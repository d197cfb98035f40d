// Stand-in for a person typing into Scrivlet, for tst_CrashRecovery. It starts the way the program
// does (drafts, session, document controller, AppDelegate::restoreSession, then the files named on
// the command line), reports what each document holds once restored, and then types into three
// documents (two files, one untitled) one key at a time through their windows until it is
// killed. Each document gets its own endless stream of keys, continued from where its recovered
// text ends, so the test can tell exactly what was typed and when.
//
//   scrivlet_typing_probe FILE1 FILE2 [--seed N] [--restore-only]
//
// Lines printed: "drafts N" (drafts found at start), "windows N", "recovered DOC BASE64" per
// document window, "ready", then "typed DOC COUNT MS" after each key (COUNT keys of the stream now
// in DOC, MS on the monotonic clock). DOC is file1, file2 or untitled.
#include "AppDelegate.h"
#include "ContentView.h"
#include "DocumentController.h"
#include "DocumentWindow.h"
#include "DraftStore.h"
#include "ScrivletDocument.h"
#include "ScrivletTextView.h"
#include "SessionStore.h"
#include "Settings.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

struct TypedDocument
{
    QByteArray name;
    QString stream;
    QString path;
    qsizetype baseLength = 0;
    DocumentWindow *window = nullptr;
};

void printLine(const QByteArray &line)
{
    std::fputs(line.constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

QString textOf(DocumentWindow *window)
{
    return window->contentView()->textView()->document()->toString();
}

qsizetype fileLength(const QString &path)
{
    const DocumentResult<ScrivletDocument> read = ScrivletDocument::read(path);
    return read ? ScrivletDocument::normalizeLineEndings(read->text).size() : 0;
}

qint64 monotonicMilliseconds()
{
    QElapsedTimer clock;
    clock.start();
    return clock.msecsSinceReference();
}

bool anyLoading(const QList<DocumentWindow *> &windows)
{
    return std::any_of(windows.cbegin(), windows.cend(),
        [](const DocumentWindow *window) { return window->isLoading(); });
}

// What each window holds after the restart, before anything is typed.
void reportRecovered(const QList<DocumentWindow *> &windows, const QList<TypedDocument> &documents)
{
    printLine("windows " + QByteArray::number(windows.size()));
    for (DocumentWindow *window : windows) {
        QByteArray name = "other";
        for (const TypedDocument &document : documents) {
            if (document.window == window)
                name = document.name;
        }
        if (name == "other" && window->filePath().isEmpty())
            name = "untitled"; // a second untitled window: the test counts it as invented
        printLine("recovered " + name + ' ' + textOf(window).toUtf8().toBase64());
    }
}

void typeKey(TypedDocument &document)
{
    ScrivletTextView *view = document.window->contentView()->textView();
    const qsizetype typed = textOf(document.window).size() - document.baseLength;
    const QChar character = document.stream.at(typed % document.stream.size());
    view->setCursorPosition(view->document()->length());
    if (character == u'\n')
        QTest::keyClick(view, Qt::Key_Return);
    else
        QTest::keyClick(view, character.toLatin1());
    printLine("typed " + document.name + ' ' + QByteArray::number(typed + 1) + ' '
        + QByteArray::number(monotonicMilliseconds()));
}

// The files are opened as the program opens its command line (a restored window is reused); the
// untitled document is the one restored, or a new one when none came back.
bool findWindows(DocumentController &controller, QList<TypedDocument> &documents)
{
    for (TypedDocument &document : documents) {
        if (!document.path.isEmpty()) {
            document.baseLength = fileLength(document.path);
            document.window = controller.openFile(document.path);
            continue;
        }
        for (DocumentWindow *window : controller.windows()) {
            if (window->filePath().isEmpty() && !document.window)
                document.window = window;
        }
        if (!document.window)
            document.window = controller.newDocument();
    }
    return std::all_of(documents.cbegin(), documents.cend(),
        [](const TypedDocument &document) { return document.window != nullptr; });
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() < 3)
        return 2;
    const qsizetype seedAt = arguments.indexOf(u"--seed"_s);
    QRandomGenerator random(seedAt > 0 ? arguments.value(seedAt + 1).toUInt() : 1);

    const DraftStore drafts;
    const SessionStore session;
    printLine("drafts " + QByteArray::number(drafts.drafts().size()));
    DocumentController controller(Settings::shared());
    controller.setDraftStore(&drafts);
    AppDelegate delegate(Settings::shared(), controller, drafts, session);
    delegate.restoreSession();

    QList<TypedDocument> documents {
        {"file1", u"abcdefghij\n"_s, arguments.at(1)},
        {"file2", u"0123456789\n"_s, arguments.at(2)},
        {"untitled", u"klmnopqrst\n"_s, QString()},
    };
    if (!findWindows(controller, documents))
        return 3;

    bool reported = false;
    QTimer typing;
    QObject::connect(&typing, &QTimer::timeout, &app, [&] {
        if (anyLoading(controller.windows()))
            return;
        if (!reported) {
            reported = true;
            reportRecovered(controller.windows(), documents);
            printLine("ready");
            if (arguments.contains(u"--restore-only"_s))
                QCoreApplication::exit(0);
            return;
        }
        // Each document gets a key on about half of the turns, so their rhythms differ.
        for (TypedDocument &document : documents) {
            if (random.bounded(2) == 0)
                typeKey(document);
        }
    });
    typing.start(10);
    return QApplication::exec();
}
