/* Nautilus extension: "New Text Document" in the context menu of a folder's background. It runs
 * scrivlet-finder-sync with the folder's path, which makes the file (or hands the request to the
 * editor). Selected files get no item, and neither do folders that are not on a local disk,
 * since the program takes a path. */

#include <nautilus-extension.h>

#define SCRIVLET_EXPORT __attribute__((visibility("default")))

#define SCRIVLET_TYPE_NAUTILUS_PROVIDER (scrivlet_nautilus_provider_get_type())
G_DECLARE_FINAL_TYPE(ScrivletNautilusProvider, scrivlet_nautilus_provider, SCRIVLET,
    NAUTILUS_PROVIDER, GObject)

struct _ScrivletNautilusProvider
{
    GObject parent_instance;
};

static void scrivlet_nautilus_menu_provider_init(NautilusMenuProviderInterface *iface);

G_DEFINE_DYNAMIC_TYPE_EXTENDED(ScrivletNautilusProvider, scrivlet_nautilus_provider,
    G_TYPE_OBJECT, 0,
    G_IMPLEMENT_INTERFACE_DYNAMIC(NAUTILUS_TYPE_MENU_PROVIDER,
        scrivlet_nautilus_menu_provider_init))

static const char folder_key[] = "scrivlet-folder";

static void on_activate(NautilusMenuItem *item, gpointer user_data)
{
    (void)user_data;
    const char *folder = g_object_get_data(G_OBJECT(item), folder_key);
    /* The program of the package this module came with, never another one found in PATH
     * (which Nautilus inherits from the session, not from the user's shell). */
    const char *program = SCRIVLET_FINDER_SYNC_PATH;
    if (!g_file_test(program, G_FILE_TEST_IS_EXECUTABLE)) {
        g_warning("Scrivlet: %s is not installed", program);
        return;
    }
    char *argv[] = {(char *)program, (char *)folder, NULL};
    GError *error = NULL;
    if (!g_spawn_async(NULL, argv, NULL, G_SPAWN_DEFAULT, NULL, NULL, NULL, &error)) {
        g_warning("Scrivlet: cannot run %s: %s", program, error->message);
        g_error_free(error);
    }
}

static GList *get_background_items(NautilusMenuProvider *provider,
    NautilusFileInfo *current_folder)
{
    (void)provider;
    if (!current_folder || !nautilus_file_info_is_directory(current_folder))
        return NULL;
    GFile *location = nautilus_file_info_get_location(current_folder);
    char *path = location ? g_file_get_path(location) : NULL;
    g_clear_object(&location);
    if (!path)
        return NULL;
    NautilusMenuItem *item = nautilus_menu_item_new("Scrivlet::NewTextDocument",
        "New Text Document", "Create a new text document in this folder",
        "scrivlet-new-text-document");
    g_object_set_data_full(G_OBJECT(item), folder_key, path, g_free);
    g_signal_connect(item, "activate", G_CALLBACK(on_activate), NULL);
    return g_list_append(NULL, item);
}

static void scrivlet_nautilus_menu_provider_init(NautilusMenuProviderInterface *iface)
{
    iface->get_background_items = get_background_items;
    /* No get_file_items: the command is about a folder's background only. */
}

static void scrivlet_nautilus_provider_init(ScrivletNautilusProvider *self)
{
    (void)self;
}

static void scrivlet_nautilus_provider_class_init(ScrivletNautilusProviderClass *klass)
{
    (void)klass;
}

static void scrivlet_nautilus_provider_class_finalize(ScrivletNautilusProviderClass *klass)
{
    (void)klass;
}

static GType provider_types[1];

SCRIVLET_EXPORT void nautilus_module_initialize(GTypeModule *module)
{
    scrivlet_nautilus_provider_register_type(module);
    provider_types[0] = SCRIVLET_TYPE_NAUTILUS_PROVIDER;
}

SCRIVLET_EXPORT void nautilus_module_shutdown(void) { }

SCRIVLET_EXPORT void nautilus_module_list_types(const GType **types, int *num_types)
{
    *types = provider_types;
    *num_types = G_N_ELEMENTS(provider_types);
}
