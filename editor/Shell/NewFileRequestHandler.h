#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class BookmarkManager;

// The editor's side of a new-file request (scrivlet://new-file?path=FOLDER), which the
// file-manager extension sends when it cannot write into a folder itself. The editor makes the
// file with its own rights, under the same naming rule as the extension, opens it when the
// shared store asks for that, and otherwise tells the user why it could not.
class NewFileRequestHandler
{
public:
    enum class Outcome {
        NotARequest, // another URL or form: passed over without a word
        Created,
        Failed, // the alert was shown
    };

    using OpenFile = std::function<void(const QString &path)>;

    // `openFile` opens a created file in a window; alerts go through UserPrompts.
    explicit NewFileRequestHandler(OpenFile openFile);
    NewFileRequestHandler(OpenFile openFile, BookmarkManager &store);

    // True for text that starts like a scrivlet: URL, which handle() should get rather than
    // being opened as a file.
    static bool isScrivletUrl(const QString &argument);

    Outcome handle(const QString &url);
    // Each in turn; an alert waits for its answer before the next URL is handled.
    void handleAll(const QStringList &urls);

private:
    void reportFailure(const QString &folder, const QString &error);

    OpenFile m_openFile;
    BookmarkManager &m_store;
};
