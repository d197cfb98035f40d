"""One private desktop for the whole run, fresh home folders and a fresh editor for each test.

The build under test is SCRIVLET_BUILD_DIR (acceptance/run sets it; default build/ at the
repository's root). A failed test's folder (screenshots, accessibility dumps, the editor's
output) is kept and its path printed; a passed test's folder is removed.
"""

import os
import shutil
import sys
import tempfile

import pytest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import desktop as desktop_module  # noqa: E402

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD_DIR = os.path.abspath(os.environ.get("SCRIVLET_BUILD_DIR", os.path.join(REPO, "build")))

_desktop = None


def pytest_configure(config):
    global _desktop
    if not os.path.exists(os.path.join(BUILD_DIR, "editor", "scrivlet")):
        raise pytest.UsageError(f"no editor at {BUILD_DIR}/editor/scrivlet: build it first")
    _desktop = desktop_module.start_desktop()
    # pyatspi reads these when it is first used: it must meet the private desktop.
    os.environ.update({key: value for key, value in _desktop.env().items()
                       if key in ("DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "XDG_RUNTIME_DIR")})
    os.environ.pop("AT_SPI_BUS_ADDRESS", None)
    os.environ["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"


def pytest_unconfigure(config):
    if _desktop is not None:
        _desktop.stop()
        desktop_module.remove_tree(_desktop.root)


@pytest.hookimpl(hookwrapper=True)
def pytest_runtest_makereport(item, call):
    outcome = yield
    report = outcome.get_result()
    if report.when == "call":
        item.failed_call = report.failed


@pytest.fixture
def scrivlet(request):
    import driver

    root = tempfile.mkdtemp(prefix="test-", dir=_desktop.root)
    folders = desktop_module.UserFolders(root, _desktop)
    artefacts = os.path.join(root, "artefacts")
    os.makedirs(artefacts)
    editor = driver.Scrivlet(BUILD_DIR, folders, _desktop, artefacts)
    editor.wait_until_gone()
    yield editor
    editor.stop_everything()
    if getattr(request.node, "failed_call", False):
        kept = os.path.join(tempfile.gettempdir(), "scrivlet-acceptance-failures",
                            request.node.name.replace("/", "_"))
        desktop_module.remove_tree(kept)
        shutil.copytree(root, kept, symlinks=True, ignore=_large_files)
        print(f"\nkept for inspection: {kept}")
    desktop_module.remove_tree(root)


def _large_files(folder, names):
    return [name for name in names if os.path.isfile(os.path.join(folder, name))
            and os.path.getsize(os.path.join(folder, name)) > 1 << 20]
