// Loads the Nautilus extension as Nautilus does (dlopen, then its module entry points) and asks
// it for the menu of a fake folder. Built only where libnautilus-extension-4 is found.
#include "TestEnvironment.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#ifdef SCRIVLET_NAUTILUS_MODULE

#include <dlfcn.h>

#pragma push_macro("signals")
#undef signals
#include <nautilus-extension.h>
#pragma pop_macro("signals")

namespace {

using InitializeFunction = void (*)(GTypeModule *);
using ListTypesFunction = void (*)(const GType **, int *);
InitializeFunction initializeModule = nullptr;

// The GTypeModule Nautilus would give the extension.
struct HostModule
{
    GTypeModule parent;
};
struct HostModuleClass
{
    GTypeModuleClass parentClass;
};
G_DEFINE_TYPE(HostModule, host_module, G_TYPE_TYPE_MODULE)

gboolean hostModuleLoad(GTypeModule *module)
{
    initializeModule(module);
    return TRUE;
}
void hostModuleUnload(GTypeModule *) { }
void host_module_init(HostModule *) { }
void host_module_class_init(HostModuleClass *klass)
{
    G_TYPE_MODULE_CLASS(klass)->load = hostModuleLoad;
    G_TYPE_MODULE_CLASS(klass)->unload = hostModuleUnload;
}

// A folder as Nautilus describes it to extensions: a location and whether it is a folder.
struct FakeFolder
{
    GObject parent;
    GFile *location;
    gboolean directory;
};
struct FakeFolderClass
{
    GObjectClass parentClass;
};
void fakeFolderFileInfoInit(NautilusFileInfoInterface *iface);
G_DEFINE_TYPE_WITH_CODE(FakeFolder, fake_folder, G_TYPE_OBJECT,
    G_IMPLEMENT_INTERFACE(NAUTILUS_TYPE_FILE_INFO, fakeFolderFileInfoInit))

void fakeFolderFinalize(GObject *object)
{
    g_clear_object(&reinterpret_cast<FakeFolder *>(object)->location);
    G_OBJECT_CLASS(fake_folder_parent_class)->finalize(object);
}
void fake_folder_init(FakeFolder *) { }
void fake_folder_class_init(FakeFolderClass *klass)
{
    G_OBJECT_CLASS(klass)->finalize = fakeFolderFinalize;
}
GFile *fakeFolderLocation(NautilusFileInfo *info)
{
    return G_FILE(g_object_ref(reinterpret_cast<FakeFolder *>(info)->location));
}
gboolean fakeFolderIsDirectory(NautilusFileInfo *info)
{
    return reinterpret_cast<FakeFolder *>(info)->directory;
}
void fakeFolderFileInfoInit(NautilusFileInfoInterface *iface)
{
    iface->get_location = fakeFolderLocation;
    iface->is_directory = fakeFolderIsDirectory;
}

NautilusFileInfo *fakeFolder(GFile *location, bool directory)
{
    auto *folder = static_cast<FakeFolder *>(g_object_new(fake_folder_get_type(), nullptr));
    folder->location = location;
    folder->directory = directory;
    return reinterpret_cast<NautilusFileInfo *>(folder);
}

QString stringProperty(GObject *object, const char *name)
{
    char *value = nullptr;
    g_object_get(object, name, &value, nullptr);
    const QString text = QString::fromUtf8(value);
    g_free(value);
    return text;
}

} // namespace

#endif

class TestNautilusHook : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void offersNewTextDocumentOnAFolderBackground_data();
    void offersNewTextDocumentOnAFolderBackground();
    void offersNothingForSelectedFiles();
    void runsTheProgramWithTheFolder_data();
    void runsTheProgramWithTheFolder();

#ifdef SCRIVLET_NAUTILUS_MODULE
private:
    GList *backgroundItems(GFile *location, bool directory);

    GObject *m_provider = nullptr;
#endif
};

#ifndef SCRIVLET_NAUTILUS_MODULE

void TestNautilusHook::initTestCase()
{
    QSKIP("the Nautilus extension is not built (libnautilus-extension-4 was not found)");
}
void TestNautilusHook::offersNewTextDocumentOnAFolderBackground_data() { }
void TestNautilusHook::offersNewTextDocumentOnAFolderBackground() { }
void TestNautilusHook::offersNothingForSelectedFiles() { }
void TestNautilusHook::runsTheProgramWithTheFolder_data() { }
void TestNautilusHook::runsTheProgramWithTheFolder() { }

#else

void TestNautilusHook::initTestCase()
{
    void *library = dlopen(SCRIVLET_NAUTILUS_MODULE, RTLD_NOW | RTLD_LOCAL);
    QVERIFY2(library, dlerror());
    initializeModule
        = reinterpret_cast<InitializeFunction>(dlsym(library, "nautilus_module_initialize"));
    auto listTypes
        = reinterpret_cast<ListTypesFunction>(dlsym(library, "nautilus_module_list_types"));
    QVERIFY(initializeModule && listTypes && dlsym(library, "nautilus_module_shutdown"));
    QVERIFY2(!dlsym(library, "scrivlet_nautilus_provider_get_type"),
        "only the entry points are exported");

    GTypeModule *module = G_TYPE_MODULE(g_object_new(host_module_get_type(), nullptr));
    QVERIFY(g_type_module_use(module));
    const GType *types = nullptr;
    int count = 0;
    listTypes(&types, &count);
    QCOMPARE(count, 1);
    QVERIFY(g_type_is_a(types[0], NAUTILUS_TYPE_MENU_PROVIDER));
    m_provider = G_OBJECT(g_object_new(types[0], nullptr));
}

GList *TestNautilusHook::backgroundItems(GFile *location, bool directory)
{
    NautilusFileInfo *folder = fakeFolder(location, directory);
    GList *items
        = nautilus_menu_provider_get_background_items(NAUTILUS_MENU_PROVIDER(m_provider), folder);
    g_object_unref(folder);
    return items;
}

void TestNautilusHook::offersNewTextDocumentOnAFolderBackground_data()
{
    QTest::addColumn<QString>("location");
    QTest::addColumn<bool>("directory");
    QTest::addColumn<bool>("offered");
    QTest::addRow("local folder") << u"/tmp/My Notes"_qs << true << true;
    QTest::addRow("remote folder: no path to give") << u"sftp://host/notes"_qs << true << false;
    QTest::addRow("not a folder") << u"/tmp/a.txt"_qs << false << false;
}

void TestNautilusHook::offersNewTextDocumentOnAFolderBackground()
{
    QFETCH(QString, location);
    QFETCH(bool, directory);
    QFETCH(bool, offered);
    GFile *file = location.startsWith(u'/') ? g_file_new_for_path(location.toUtf8().constData())
                                            : g_file_new_for_uri(location.toUtf8().constData());
    GList *items = backgroundItems(file, directory);
    QCOMPARE(int(g_list_length(items)), offered ? 1 : 0);
    if (offered) {
        GObject *item = G_OBJECT(items->data);
        QCOMPARE(stringProperty(item, "label"), u"New Text Document"_qs);
        QCOMPARE(stringProperty(item, "tip"), u"Create a new text document in this folder"_qs);
        QCOMPARE(stringProperty(item, "icon"), u"scrivlet-new-text-document"_qs);
    }
    nautilus_menu_item_list_free(items);
}

void TestNautilusHook::offersNothingForSelectedFiles()
{
    NautilusFileInfo *folder = fakeFolder(g_file_new_for_path("/tmp"), true);
    GList *files = g_list_append(nullptr, folder);
    QCOMPARE(
        nautilus_menu_provider_get_file_items(NAUTILUS_MENU_PROVIDER(m_provider), files), nullptr);
    g_list_free(files);
    g_object_unref(folder);
}

namespace {

// A stand-in for scrivlet-finder-sync that records its arguments, prefixed with `name`.
bool writeRecorder(const QString &path, const QByteArray &name, const QString &record)
{
    QFile program(path);
    if (!QDir().mkpath(QFileInfo(path).absolutePath()) || !program.open(QIODevice::WriteOnly))
        return false;
    program.write(
        "#!/bin/sh\nprintf '" + name + ":%s|' \"$@\" > '" + QFile::encodeName(record) + "'\n");
    program.close();
    return program.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

} // namespace

void TestNautilusHook::runsTheProgramWithTheFolder_data()
{
    QTest::addColumn<bool>("anotherInPath");
    QTest::addRow("only the built-with program") << false;
    // A build being tried out, or anything else earlier in PATH, is not what the package runs.
    QTest::addRow("another scrivlet-finder-sync in PATH") << true;
}

void TestNautilusHook::runsTheProgramWithTheFolder()
{
    QFETCH(bool, anotherInPath);
    QTemporaryDir bin;
    const QString record = bin.path() + u"/arguments"_qs;
    QVERIFY(writeRecorder(QStringLiteral(SCRIVLET_NAUTILUS_PROGRAM), "built-with", record));
    const QByteArray path = qgetenv("PATH");
    if (anotherInPath) {
        QVERIFY(writeRecorder(bin.path() + u"/scrivlet-finder-sync"_qs, "from-path", record));
        qputenv("PATH", QFile::encodeName(bin.path()) + ':' + path);
    }

    GList *items = backgroundItems(g_file_new_for_path("/tmp/Tom & Jerry"), true);
    QVERIFY(items);
    nautilus_menu_item_activate(NAUTILUS_MENU_ITEM(items->data));
    nautilus_menu_item_list_free(items);
    qputenv("PATH", path);
    const QByteArray expected("built-with:/tmp/Tom & Jerry|");
    QTRY_COMPARE(QFileInfo(record).size(), qint64(expected.size()));
    QFile arguments(record);
    QVERIFY(arguments.open(QIODevice::ReadOnly));
    QCOMPARE(arguments.readAll(), expected);
}

#endif

SCRIVLET_TEST_MAIN(TestNautilusHook)
#include "tst_NautilusHook.moc"
