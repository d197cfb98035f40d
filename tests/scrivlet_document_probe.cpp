// Stand-in for a person opening or saving a file in Scrivlet, for tst_SaveFaults and
// tst_FrontDoor: the application's own document layer (controller, window, writer) in a process
// of its own, so a test can run it as another user, inside a read-only mount, or kill it in the
// middle of a save.
//   scrivlet_document_probe open FILE
//   scrivlet_document_probe save FILE TEXT [FAULT]
// "save" opens FILE, types TEXT at its end, optionally brings about FAULT, and saves:
//   remove-folder          the file's folder is deleted before saving
//   replace-with-folder    a folder takes the file's place before saving
//   short-write            every write stores half of its bytes, as on a full disk
//   hang-before-commit     every byte is written, then the process waits to be killed before
//                          the temporary file replaces the original
//   kill-at-rename         SIGKILL as the temporary file, already linked under a name of its
//                          own, is about to be renamed over the original
// Prints one "alert: " line per message shown (line breaks as "\n"), then the state as
// "opened:", "saved:", "modified:" and "text:" lines ("characters:" for "open").
#include "ContentView.h"
#include "DocumentController.h"
#include "DocumentFile.h"
#include "DocumentWindow.h"
#include "ScriptedPrompts.h"
#include "ScrivletTextView.h"
#include "Settings.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPointer>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

QByteArray killAtRenameOnto;

} // namespace

// Takes the place of the C library's rename() in the whole process: QSaveFile calls it to put the
// finished temporary file over the original.
extern "C" int rename(const char *from, const char *to) noexcept
{
    if (!killAtRenameOnto.isEmpty() && killAtRenameOnto == to)
        ::kill(::getpid(), SIGKILL);
    return ::renameat(AT_FDCWD, from, AT_FDCWD, to);
}

namespace {

QString escaped(QString text)
{
    return text.replace(u'\\', u"\\\\"_s).replace(u'\n', u"\\n"_s);
}

void print(const QString &name, const QString &value)
{
    std::printf("%s: %s\n", qPrintable(name), escaped(value).toUtf8().constData());
    std::fflush(stdout);
}

// Waits for the window to hold the whole file; nothing when opening failed or was declined.
DocumentWindow *openLoaded(DocumentController &documents, const QString &path)
{
    QPointer<DocumentWindow> window = documents.openFile(path);
    // Sleeps until the next event: with a time limit, processEvents() would spin instead and
    // take a core from the load that reliability/huge-file times.
    while (window && window->isLoading())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    // A failed or declined load closes the window from the event loop.
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return window;
}

void bringAbout(const QString &fault, DocumentWindow &window, const QString &path)
{
    const QFileInfo file(path);
    if (fault == u"remove-folder") {
        QDir(file.absolutePath()).removeRecursively();
    } else if (fault == u"replace-with-folder") {
        QFile::remove(path);
        QDir().mkpath(path + u"/inside"_s);
    } else if (fault == u"short-write") {
        window.file()->setWriter(DocumentWriter([](QIODevice &device, QByteArrayView bytes) {
            return device.write(bytes.data(), bytes.size() / 2);
        }));
    } else if (fault == u"kill-at-rename") {
        killAtRenameOnto = QFile::encodeName(file.absoluteFilePath());
    } else if (fault == u"hang-before-commit") {
        window.file()->setWriter(DocumentWriter([](QIODevice &device, QByteArrayView bytes) {
            const qint64 written = device.write(bytes.data(), bytes.size());
            std::printf("written: %lld\n", static_cast<long long>(written));
            std::fflush(stdout);
            for (;;)
                ::pause();
            return written;
        }));
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 3 || (arguments.at(1) == u"save" && arguments.size() < 4))
        return 2;
    const QString path = arguments.at(2);
    ScriptedPrompts prompts;
    // Whatever happened to the file on disk, the user chooses to save over it.
    prompts.overwriteNewer = true;
    {
        DocumentController documents(Settings::shared());
        DocumentWindow *window = openLoaded(documents, path);
        print(u"opened"_s, window ? u"1"_s : u"0"_s);
        if (window && arguments.at(1) == u"save") {
            window->contentView()->textView()->document()->replace(
                window->contentView()->textView()->document()->length(), 0, arguments.at(3));
            bringAbout(arguments.value(4), *window, path);
            print(u"saved"_s, window->save() ? u"1"_s : u"0"_s);
        }
        for (const QString &alert : std::as_const(prompts.errors))
            print(u"alert"_s, alert);
        print(u"overwrite-questions"_s, QString::number(prompts.overwriteQuestions));
        if (window) {
            print(u"modified"_s, window->isModified() ? u"1"_s : u"0"_s);
            // An opened file may be huge: its length is enough there, and takes no copy.
            if (arguments.at(1) == u"save")
                print(u"text"_s, window->contentView()->documentText().wholeText());
            else
                print(u"characters"_s,
                    QString::number(window->contentView()->textView()->document()->length()));
        }
        for (DocumentWindow *open : documents.windows()) {
            open->contentView()->textView()->document()->setModified(false);
            delete open;
        }
    }
    return 0;
}
