#include "WorkspaceOpener.h"

#include <QFile>

// GLib names a struct member "signals", which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>
#pragma pop_macro("signals")

namespace {

struct LaunchState
{
    bool finished = false;
    bool launched = false;
};

void launchFinished(GObject *, GAsyncResult *result, gpointer data)
{
    auto *state = static_cast<LaunchState *>(data);
    GError *error = nullptr;
    state->launched = g_app_info_launch_default_for_uri_finish(result, &error);
    g_clear_error(&error);
    state->finished = true;
}

// Waits for the launch to finish on a private main context: the asynchronous call also covers
// applications started over D-Bus, whose request must have left before a short-lived program
// such as the file-manager extension exits.
bool launchDefaultForUri(const QByteArray &uri)
{
    GMainContext *context = g_main_context_new();
    g_main_context_push_thread_default(context);
    LaunchState state;
    g_app_info_launch_default_for_uri_async(
        uri.constData(), nullptr, nullptr, launchFinished, &state);
    while (!state.finished)
        g_main_context_iteration(context, TRUE);
    g_main_context_pop_thread_default(context);
    g_main_context_unref(context);
    return state.launched;
}

class DesktopOpener final : public WorkspaceOpener
{
public:
    bool openFile(const QString &path) override
    {
        return launchDefaultForUri(QUrl::fromLocalFile(path).toEncoded(QUrl::FullyEncoded));
    }

    bool openUrl(const QUrl &url) override
    {
        return url.isValid() && launchDefaultForUri(url.toEncoded(QUrl::FullyEncoded));
    }

    bool launchApplication(const QString &applicationId) override
    {
        const QByteArray desktopId = QFile::encodeName(applicationId + QStringLiteral(".desktop"));
        GDesktopAppInfo *application = g_desktop_app_info_new(desktopId.constData());
        if (!application)
            return false;
        GError *error = nullptr;
        const bool launched = g_app_info_launch(G_APP_INFO(application), nullptr, nullptr, &error);
        g_clear_error(&error);
        g_object_unref(application);
        return launched;
    }
};

} // namespace

WorkspaceOpener &WorkspaceOpener::desktop()
{
    static DesktopOpener opener;
    return opener;
}
