"""Settings, the file-manager hooks page and Help as a screen reader and a keyboard user meet
them: each window walked through AT-SPI (names, values, the tree, the window's role), its Tab
order against the screen, and each used by keyboard alone with the result read from disk."""

import os
import struct

import pytest

import accessibility
from driver import _pyatspi, _safe, descendants, role_name, states_of, write_bytes
from test_desktop_citizen import SEEN, node_named, open_settings, press_in, wait_closed, wait_top

FOLDERS = ("Projects", "Notes")
STORE = "group.org.scrivlet.Scrivlet.conf"


def folder_record(path):
    """A folder as the shared store keeps it: a tag, the folder's device and inode, its path."""
    info = os.stat(path)
    encoded = path.encode()
    return struct.pack(">IQQI", 0x53424B31, info.st_dev, info.st_ino, len(encoded)) + encoded


def authorize(scrivlet, *names):
    """Authorised folders written into the store the editor shares with the file-manager
    extension, as the INI format holds a list of byte records (two or more: one would be
    written as a single value)."""
    assert len(names) >= 2
    records = []
    for name in names:
        os.makedirs(scrivlet.path(name), exist_ok=True)
        data = "".join(f"\\x{byte:02x}" for byte in folder_record(scrivlet.path(name)))
        records.append(f"@ByteArray({data})")
    store = os.path.join(scrivlet.folders.config, "scrivlet", STORE)
    os.makedirs(os.path.dirname(store), mode=0o700, exist_ok=True)
    with open(store, "w") as handle:
        handle.write("[General]\nFinderSyncBookmarks=" + ", ".join(records) + "\n")


def stand_in_file_managers(scrivlet):
    """A PATH with stand-ins of two file managers, so the hooks page has rows with buttons
    whether or not any file manager is installed on this machine."""
    tools = scrivlet.path("tools")
    os.makedirs(tools, exist_ok=True)
    for manager in ("nemo", "thunar"):
        stand_in = os.path.join(tools, manager)
        write_bytes(stand_in, b"#!/bin/sh\nexit 0\n")
        os.chmod(stand_in, 0o755)
    return {"PATH": tools + ":" + os.environ.get("PATH", "/usr/bin:/bin")}


def start(scrivlet, settings=None):
    authorize(scrivlet, *FOLDERS)
    write_bytes(scrivlet.path("a.txt"), b"abc")
    scrivlet.write_settings({**SEEN, **(settings or {})})
    scrivlet.launch("a.txt", expect=["a.txt"], env=stand_in_file_managers(scrivlet))


def settings_window(scrivlet):
    settings = open_settings(scrivlet, "a.txt")
    scrivlet.wait(lambda: node_named(settings, "label", f"{len(FOLDERS)} folder(s) authorized"),
                  "the authorised folders' rows")
    return settings


def remove_name(scrivlet, folder):
    return "Remove folder " + scrivlet.path(folder)


def hooks_page(scrivlet):
    settings = settings_window(scrivlet)
    press_in(scrivlet, settings, "push button", "Open Extension Settings")
    return wait_top(scrivlet, "File Manager Extensions")


def help_window(scrivlet, search=None):
    scrivlet.keys_into("a.txt", "F1")
    window = wait_top(scrivlet, "Scrivlet Help")
    if search:
        scrivlet.focus(window)
        scrivlet.type(search)
        scrivlet.wait(lambda: node_named(window, "push button", "Clear search") is not None
                      and _pyatspi().STATE_SHOWING in states_of(
                          node_named(window, "push button", "Clear search")),
                      "the clear button")
    return window


WINDOWS = {
    "settings": (settings_window, {}),
    "settings in dark": (settings_window, {"appearanceMode": "dark"}),
    "file manager hooks page": (hooks_page, {}),
    "help": (help_window, {}),
    "help while searching": (lambda scrivlet: help_window(scrivlet, "print"), {}),
}


@pytest.mark.parametrize("which", list(WINDOWS))
def test_accessibility_settings_window_reads_right(scrivlet, which):
    opener, settings = WINDOWS[which]
    start(scrivlet, settings)
    window = opener(scrivlet)
    scrivlet.settle(0.5)
    assert accessibility.problems(window) == []
    focused = accessibility.focused_in(scrivlet.focus(window))
    assert focused is not None and role_name(focused) in accessibility.TAB_STOP_ROLES, \
        f"opens with the focus on {accessibility.describe(focused) if focused else 'nothing'}"
    steps = accessibility.tab_walk(scrivlet, window, 30)
    assert accessibility.tab_problems(steps) == []
    one_round = [focused] + [node for _, node in steps]
    one_round = one_round[:one_round.index(focused, 1)] if focused in one_round[1:] else one_round
    assert accessibility.screen_order_problems(one_round) == []
    assert accessibility.unreached_by_tab(scrivlet, window) == []


def expected_settings_order(scrivlet):
    return (["Font:", "Font size", "Adjust font size", "Bold", "System Default", "Text Color:",
             "Background:", "Show Line Numbers", "Reopen documents from last session",
             "Default file types", "Add file extension", "Open Extension Settings", "Filename",
             "Open file in Scrivlet after creation"]
            + [remove_name(scrivlet, folder) for folder in FOLDERS]
            + ["Add Folder...", "Reset to Defaults", "Font:"])


def test_accessibility_settings_tab_order_follows_the_screen(scrivlet):
    start(scrivlet)
    settings = settings_window(scrivlet)
    expected = expected_settings_order(scrivlet)
    first = accessibility.focus_label(accessibility.focused_in(scrivlet.focus(settings)))
    assert [first] + accessibility.tab_order(scrivlet, settings, len(expected) - 1) == expected


def value_of(node):
    value = node.queryValue()
    return value.minimumValue, value.currentValue, value.maximumValue


def text_of(node):
    text = node.queryText()
    return text.getText(0, text.characterCount)


def test_accessibility_settings_by_keyboard_alone(scrivlet):
    """Ctrl+, opens Settings on the font picker; the family, the size, the stepper, Bold and a
    new file type are set with keys only, Escape closes, and the settings file holds the
    choices."""
    start(scrivlet, {"fontSize": 13, "fontBold": False, "editorBackgroundColor": "#1E1E1E"})
    settings = settings_window(scrivlet)
    well = node_named(settings, "push button", "Background:")
    assert well.description.startswith("#1E1E1E"), well.description
    scrivlet.wait(lambda: accessibility.focus_label(accessibility.focused_in(settings))
                  == "Font:", "the font picker to have the focus",
                  detail=lambda: accessibility.describe(accessibility.focused_in(settings)))

    picker = accessibility.focused_in(settings)
    scrivlet.key("Down")
    scrivlet.wait(lambda: scrivlet.read_settings().get("fontFamily"), "a font family stored")
    family = scrivlet.read_settings()["fontFamily"]
    scrivlet.wait(lambda: picker.name == "Font:" and text_of(picker) == family,
                  f"the picker named 'Font:' showing {family!r}",
                  detail=lambda: (picker.name, _safe(lambda: text_of(picker))))

    accessibility.tab_to(scrivlet, settings, "Font size")
    scrivlet.key("ctrl+a")
    scrivlet.type("20")
    scrivlet.key("Return")
    scrivlet.wait(lambda: scrivlet.read_settings().get("fontSize") == "20", "fontSize=20")
    stepper = accessibility.tab_to(scrivlet, settings, "Adjust font size")
    scrivlet.key("Up")
    scrivlet.wait(lambda: scrivlet.read_settings().get("fontSize") == "21", "fontSize=21")
    scrivlet.wait(lambda: value_of(stepper) == (8, 21, 72), "the stepper at 21 in 8..72",
                  detail=lambda: value_of(stepper))
    # A screen reader sets the value itself; the size stays within the range.
    stepper.queryValue().currentValue = 100
    scrivlet.wait(lambda: scrivlet.read_settings().get("fontSize") == "72", "fontSize=72")
    scrivlet.key("Down")
    scrivlet.wait(lambda: value_of(stepper) == (8, 71, 72), "the stepper at 71",
                  detail=lambda: value_of(stepper))
    accessibility.tab_to(scrivlet, settings, "Bold")
    scrivlet.key("space")
    scrivlet.wait(lambda: scrivlet.read_settings().get("fontBold") == "true", "fontBold=true")

    accessibility.tab_to(scrivlet, settings, "Add file extension")
    scrivlet.key("Return")
    dialog = wait_top(scrivlet, "Add File Extension")
    assert accessibility.problems(dialog) == []
    scrivlet.focus(dialog)
    scrivlet.type("md")
    scrivlet.key("Return")
    wait_closed(scrivlet, "Add File Extension")
    scrivlet.wait(lambda: "md" in scrivlet.read_settings().get("fileExtensions", ""),
                  "md among the file extensions on disk")

    scrivlet.focus(settings)
    scrivlet.key("Escape")
    wait_closed(scrivlet, "Scrivlet Settings")
    stored = scrivlet.read_settings()
    assert (stored["fontSize"], stored["fontBold"], stored["fontFamily"]) == ("71", "true", family)


def test_accessibility_settings_folder_removed_by_keyboard(scrivlet):
    """Return on a folder row's button removes that folder; the focus goes on to the next row."""
    authorize(scrivlet, "First", "Second", "Third")
    write_bytes(scrivlet.path("a.txt"), b"abc")
    scrivlet.write_settings(SEEN)
    scrivlet.launch("a.txt", expect=["a.txt"])
    settings = open_settings(scrivlet, "a.txt")
    accessibility.tab_to(scrivlet, settings, remove_name(scrivlet, "Second"))
    scrivlet.key("Return")
    scrivlet.wait(lambda: node_named(scrivlet.find_window_like(settings), "push button",
                                     remove_name(scrivlet, "Second")) is None,
                  "the row of Second to go")
    scrivlet.wait(lambda: accessibility.focus_label(accessibility.focused_in(settings))
                  == remove_name(scrivlet, "Third"), "the focus on the row of Third")
    store = os.path.join(scrivlet.folders.config, "scrivlet", STORE)
    # The editor wrote the list again: the paths it keeps stand in it as text.
    with open(store, "rb") as handle:
        stored = handle.read()
    assert b"/Second" not in stored and b"/Third" in stored and b"/First" in stored


def test_accessibility_settings_hooks_page_by_keyboard(scrivlet):
    """Return on "Open Extension Settings" opens the hooks page on its first button; Return
    installs that hook; Escape closes the page."""
    start(scrivlet)
    settings = settings_window(scrivlet)
    accessibility.tab_to(scrivlet, settings, "Open Extension Settings")
    scrivlet.key("Return")
    page = wait_top(scrivlet, "File Manager Extensions")
    button = scrivlet.wait(lambda: accessibility.focused_in(scrivlet.focus(page)),
                           "a control of the page to have the focus")
    name = button.name
    assert name.startswith("Install the hook for "), name
    scrivlet.key("Return")
    manager = name.removeprefix("Install the hook for ")
    scrivlet.wait(lambda: node_named(scrivlet.find_window_like(page), "push button",
                                     "Remove the hook for " + manager),
                  f"the hook for {manager} installed")
    scrivlet.focus(page)
    scrivlet.key("Escape")
    wait_closed(scrivlet, "File Manager Extensions")


def heading_shown(window, title):
    return any(role_name(node) == "heading" and _safe(lambda: node.name) == title
               and _pyatspi().STATE_SHOWING in states_of(node)
               for node in descendants(window.accessible))


def test_accessibility_settings_help_by_keyboard_alone(scrivlet):
    """F1 opens Help in its search field; typing filters, Return on the clear button shows
    every section again, Escape clears a search and then closes the window."""
    start(scrivlet)
    window = help_window(scrivlet)
    scrivlet.wait(lambda: accessibility.focus_label(accessibility.focused_in(window))
                  == "Search help", "the search field to have the focus")
    scrivlet.type("printing")
    scrivlet.wait(lambda: heading_shown(window, "Printing") and not heading_shown(
        window, "Editing"), "only the Printing section")
    accessibility.tab_to(scrivlet, window, "Clear search", limit=3)
    scrivlet.key("Return")
    scrivlet.wait(lambda: heading_shown(window, "Editing"), "every section again")
    scrivlet.wait(lambda: accessibility.focus_label(accessibility.focused_in(window))
                  == "Search help", "the focus back in the search field")
    scrivlet.type("undo")
    scrivlet.wait(lambda: not heading_shown(window, "Printing"), "the search for undo")
    scrivlet.key("Escape")
    scrivlet.wait(lambda: heading_shown(window, "Printing"), "the search cleared by Escape")
    scrivlet.key("Escape")
    wait_closed(scrivlet, "Scrivlet Help")
