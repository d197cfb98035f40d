"""Journeys about living on a Linux desktop: the app's own appearance reaching every window
(the colour panel too), the find panel under the window manager, keyboard close and screen fit,
names that do not exist yet (and the name Print to PDF proposes), the default application the
user chose and a build that cannot be it, and the file-manager hooks page. Looks are read from
the pixels of a screenshot, stacking and ownership from the X properties."""

import os
import re
import subprocess

import pytest

from driver import (APP_ID, _pyatspi, descendants, read_bytes, role_name, states_of,
                    title_matches, write_bytes)

SEEN = {"hasShownDefaultHandlerPrompt": True}


def top_window(scrivlet, title):
    """A shown window of the editor with exactly this title (dialogs and panels too)."""
    return next((w for w in scrivlet.windows() if w.title == title), None)


def wait_top(scrivlet, title):
    return scrivlet.wait(lambda: top_window(scrivlet, title), f"a window titled {title!r}")


def wait_closed(scrivlet, title):
    scrivlet.wait(lambda: top_window(scrivlet, title) is None, f"{title!r} to close")


def extents(accessible):
    return accessible.queryComponent().getExtents(_pyatspi().DESKTOP_COORDS)


def node_named(window, role, name):
    return next((node for node in descendants(window.accessible, skip_roles=())
                 if role_name(node) == role and node.name == name), None)


def pixels(scrivlet, points):
    """The (r, g, b) of the screen at each (x, y), from one screenshot."""
    shot = scrivlet.desktop.screenshot(os.path.join(scrivlet.artefacts, "pixels.png"))
    result = []
    for x, y in points:
        out = subprocess.run(["convert", shot, "-crop", f"1x1+{x}+{y}", "+repage", "-depth", "8",
                              "txt:-"], capture_output=True, text=True, check=True).stdout
        result.append(tuple(int(v) for v in re.search(r"\((\d+),(\d+),(\d+)", out).groups()))
    return result


def lightness(rgb):
    return (max(rgb) + min(rgb)) / 2


def inside(accessible):
    """A point of a window's own body, clear of its edges."""
    box = extents(accessible)
    return box.x + 8, box.y + box.height - 8


def geometry(scrivlet, x_window):
    out = scrivlet.xdotool("getwindowgeometry", x_window)
    width, height = re.search(r"Geometry: (\d+)x(\d+)", out).groups()
    return int(width), int(height)


def xprop(scrivlet, *args):
    return subprocess.run(["xprop", *args], env=scrivlet.env(), capture_output=True,
                          text=True, check=True).stdout


def stacking(scrivlet):
    """Client windows from bottom to top."""
    return [int(v, 16) for v in re.findall(r"0x[0-9a-f]+",
                                           xprop(scrivlet, "-root", "_NET_CLIENT_LIST_STACKING"))]


def transient_for(scrivlet, x_window):
    found = re.search(r"0x[0-9a-f]+", xprop(scrivlet, "-id", x_window, "WM_TRANSIENT_FOR"))
    return int(found.group(0), 16) if found else None


def click_text(scrivlet, name):
    """A mouse click into the middle of a document window's text."""
    box = extents(scrivlet.wait_for_window(name).editor_widget())
    scrivlet.xdotool("mousemove", "--sync", str(box.x + box.width // 2),
                     str(box.y + box.height // 2))
    scrivlet.xdotool("click", "1")
    scrivlet.settle()


def open_settings(scrivlet, name):
    scrivlet.keys_into(name, "ctrl+comma")
    return wait_top(scrivlet, "Scrivlet Settings")


def press_in(scrivlet, window, role, name):
    """Clicks a control of a window, through its action if it is scrolled out of sight."""
    window = scrivlet.focus(window)
    control = scrivlet.wait(lambda: node_named(scrivlet.find_window_like(window), role, name),
                            f"a {role} {name!r}")
    if _pyatspi().STATE_SHOWING in states_of(control):
        scrivlet._click(control)
    else:
        control.queryAction().doAction(0)
    return control


# ---- the app's appearance reaches every window --------------------------------------------------

def test_dark_and_light_reach_every_window(scrivlet):
    write_bytes(scrivlet.path("a.txt"), b"abc")
    scrivlet.write_settings({**SEEN, "appearanceMode": "dark"})
    scrivlet.launch("a.txt", expect=["a.txt"])
    seen = {}

    def sample(title, dark):
        window = scrivlet.focus(scrivlet.wait(
            lambda: next((w for w in scrivlet.windows() if title_matches(w.title, title)), None),
            f"a window titled {title!r}"))
        scrivlet.wait(lambda: (lightness(pixels(scrivlet, [inside(window.accessible)])[0]) < 128)
                      == dark, f"{title!r} to look {'dark' if dark else 'light'}",
                      detail=lambda: pixels(scrivlet, [inside(window.accessible)]))
        seen[title] = window

    sample("a.txt", True)
    scrivlet.type_into("a.txt", "x")
    scrivlet.keys_into("a.txt", "ctrl+w")
    prompt = scrivlet.wait_for_dialog(containing="Do you want to save")
    sample(prompt.title, True)
    scrivlet.key("Escape")
    scrivlet.open_find("a.txt")
    sample("Find", True)
    scrivlet.keys_into("a.txt", "F1")
    sample("Scrivlet Help", True)
    settings = open_settings(scrivlet, "a.txt")
    sample("Scrivlet Settings", True)
    press_in(scrivlet, settings, "radio button", "Light")
    scrivlet.wait(lambda: scrivlet.read_settings().get("appearanceMode") == "light",
                  "appearanceMode=light in the settings file")
    for title in ("Scrivlet Settings", "Scrivlet Help", "Find", "a.txt"):
        sample(title, False)
    scrivlet.keys_into("a.txt", "ctrl+w")
    prompt = scrivlet.wait_for_dialog(containing="Do you want to save")
    sample(prompt.title, False)


def contrast(first, second):
    def luminance(rgb):
        parts = [c / 255 for c in rgb]
        parts = [c / 12.92 if c <= 0.03928 else ((c + 0.055) / 1.055) ** 2.4 for c in parts]
        return 0.2126 * parts[0] + 0.7152 * parts[1] + 0.0722 * parts[2]
    light, dark = sorted((luminance(first), luminance(second)), reverse=True)
    return (light + 0.05) / (dark + 0.05)


def test_find_highlights_keep_their_contrast_on_a_dark_background(scrivlet):
    write_bytes(scrivlet.path("f.txt"), b"one two one")
    scrivlet.write_settings({**SEEN, "editorBackgroundColor": "#003366",
                             "editorTextColor": "#FFFFFF"})
    scrivlet.launch("f.txt", expect=["f.txt"])
    scrivlet.open_find("f.txt")
    scrivlet.focus(scrivlet.find_panel())
    scrivlet.type("one")
    scrivlet.wait(lambda: (scrivlet.match_count() or "").endswith("of 2"), "2 matches",
                  detail=scrivlet.match_count)
    window = scrivlet.focus(scrivlet.window("f.txt"))
    text = window.editor_widget().queryText()
    coords = _pyatspi().DESKTOP_COORDS
    after = text.getCharacterExtents(10, coords)
    background = pixels(scrivlet, [(after[0] + 40, after[1] + after[3] // 2)])[0]
    assert background == (0x00, 0x33, 0x66)
    shot = scrivlet.desktop.screenshot(os.path.join(scrivlet.artefacts, "matches.png"))
    fills = []
    for offset in (0, 8):  # each "one"; the current match is drawn apart from the others
        first, last = (text.getCharacterExtents(o, coords) for o in (offset, offset + 2))
        fills.append(commonest_colour(shot, first[0], first[1], last[0] + last[2] - first[0],
                                      first[3]))
    assert fills[0] != fills[1]
    for fill in fills:
        assert fill != background
        assert contrast((255, 255, 255), fill) >= 4.5, fill
        # Marks, not the dull green and brown a fixed tint over the background gives.
        assert (max(fill) - min(fill)) / max(fill) >= 0.8, fill


def commonest_colour(shot, x, y, width, height):
    """The colour covering most of a box: a highlight's fill rather than its glyphs."""
    out = subprocess.run(["convert", shot, "-crop", f"{width}x{height}+{x}+{y}", "+repage",
                          "-depth", "8", "-format", "%c", "histogram:info:-"],
                         capture_output=True, text=True, check=True).stdout
    counts = [(int(m[1]), tuple(int(v) for v in m.groups()[1:]))
              for m in re.finditer(r"(\d+): \(\s*(\d+),\s*(\d+),\s*(\d+)", out)]
    return max(counts)[1]


# ---- the find panel under the window manager -----------------------------------------------------

def panel_above(scrivlet, document):
    panel = int(scrivlet.find_panel().x_window())
    owner = int(scrivlet.window(document).x_window())
    order = stacking(scrivlet)
    return (panel in order and owner in order and order.index(panel) > order.index(owner)
            and transient_for(scrivlet, str(panel)) == owner)


def test_find_panel_stays_above_the_active_document(scrivlet):
    write_bytes(scrivlet.path("a.txt"), b"some text\n" * 20)
    scrivlet.write_settings(SEEN)
    scrivlet.launch("a.txt", expect=["a.txt"])
    scrivlet.open_find("a.txt")
    click_text(scrivlet, "a.txt")
    scrivlet.wait(lambda: panel_above(scrivlet, "a.txt"), "the panel above a.txt, its transient")
    scrivlet.keys_into("a.txt", "ctrl+n")
    scrivlet.wait_for_window("Untitled")
    click_text(scrivlet, "Untitled")
    scrivlet.wait(lambda: panel_above(scrivlet, "Untitled"),
                  "the panel above Untitled, its transient")


def test_find_panel_refits_and_passes_f1(scrivlet):
    write_bytes(scrivlet.path("a.txt"), b"abc")
    scrivlet.write_settings(SEEN)
    scrivlet.launch("a.txt", expect=["a.txt"])
    scrivlet.open_find("a.txt", replace=True)
    _, tall = geometry(scrivlet, scrivlet.find_panel().x_window())
    scrivlet.focus(scrivlet.find_panel())
    scrivlet.key("Escape")
    scrivlet.wait(lambda: scrivlet.find_panel() is None, "the panel to close")
    panel = scrivlet.open_find("a.txt")
    assert panel.title == "Find"
    scrivlet.wait(lambda: geometry(scrivlet, scrivlet.find_panel().x_window())[1] < tall,
                  f"the Find panel lower than the {tall} px Find and Replace panel")
    scrivlet.focus(scrivlet.find_panel())
    scrivlet.key("F1")
    wait_top(scrivlet, "Scrivlet Help")


# ---- Escape closes, Settings fits -----------------------------------------------------------------

def open_hooks_page(scrivlet, name="a.txt"):
    settings = open_settings(scrivlet, name)
    press_in(scrivlet, settings, "push button", "Open Extension Settings")
    return wait_top(scrivlet, "File Manager Extensions")


@pytest.mark.parametrize("title", ["Scrivlet Settings", "Scrivlet Help",
                                   "File Manager Extensions"])
def test_escape_closes(scrivlet, title):
    write_bytes(scrivlet.path("a.txt"), b"abc")
    scrivlet.write_settings(SEEN)
    scrivlet.launch("a.txt", expect=["a.txt"])
    if title == "Scrivlet Settings":
        window = open_settings(scrivlet, "a.txt")
    elif title == "Scrivlet Help":
        scrivlet.keys_into("a.txt", "F1")
        window = wait_top(scrivlet, title)
    else:
        window = open_hooks_page(scrivlet)
    scrivlet.focus(window)
    scrivlet.key("Escape")
    wait_closed(scrivlet, title)
    assert scrivlet.window("a.txt") is not None


def test_settings_fit_the_screen_at_one_and_a_half_scale(scrivlet):
    scrivlet.write_settings(SEEN)
    scrivlet.launch(expect=["Untitled"], env={"QT_SCALE_FACTOR": "1.5"})
    settings = open_settings(scrivlet, "Untitled")
    screen = int(re.search(r"\d+ (\d+)", scrivlet.xdotool("getdisplaygeometry")).group(1))
    _, height = geometry(scrivlet, scrivlet.x_window_for(settings.title))
    assert height <= screen


# ---- a name that does not exist yet -----------------------------------------------------------

def test_a_missing_name_opens_empty_and_saves_there(scrivlet):
    scrivlet.write_settings(SEEN)
    scrivlet.launch("notes.txt", expect=["notes.txt"])
    window = scrivlet.window("notes.txt")
    assert window.title == "notes.txt"
    assert window.text() == ""
    assert not os.path.exists(scrivlet.path("notes.txt"))
    scrivlet.type_into("notes.txt", "hello")
    scrivlet.save("notes.txt")
    scrivlet.wait_saved("notes.txt")
    assert read_bytes(scrivlet.path("notes.txt")) == b"hello"


def label_tail(scrivlet, window, width, out):
    """The rightmost pixels of the status bar's path label (it is aligned right), cropped
    from a screenshot."""
    box = extents(node_named(window, "label", "File path"))
    shot = scrivlet.desktop.screenshot(os.path.join(scrivlet.artefacts, "tail-screen.png"))
    subprocess.run(["convert", shot, "-crop", f"{width}x{box.height}+{box.x + box.width - width}"
                    f"+{box.y}", "+repage", out], check=True)
    return out


def test_status_bar_keeps_the_file_name_in_a_narrow_window(scrivlet):
    folder = scrivlet.path(os.path.join("projects", "customers", "archive", "2026", "drafts"))
    os.makedirs(folder)
    name = "a_very_long_file_name.txt"
    write_bytes(os.path.join(folder, name), b"abc")
    scrivlet.write_settings(SEEN)
    scrivlet.launch(os.path.join(folder, name), expect=[name])
    tails = []
    # Wide enough for the whole path, then as narrow as a side-by-side window.
    for width in (1200, 560):
        x_window = scrivlet.window(name).x_window()
        scrivlet.xdotool("windowsize", x_window, str(width), "400")
        scrivlet.wait(lambda: geometry(scrivlet, x_window)[0] == width, f"a {width} px window")
        scrivlet.settle(0.5)
        tails.append(label_tail(scrivlet, scrivlet.window(name), 210,
                                os.path.join(scrivlet.artefacts, f"tail-{width}.png")))
    # "/a_very_long_file_name.txt" is wider than 210 px: the same pixels unless the
    # elision cut into the name, which shows in the tail's left part.
    wide, narrow = (grey_levels(tail) for tail in tails)
    assert max(narrow.values()) - min(narrow.values()) > 100, "no text in the path label's tail"
    # Glyphs drawn at another fraction of a pixel differ by about 10 levels on average; another
    # text (an ellipsis cutting into the name) by about 50.
    left = [point for point in wide if point[0] < 90]
    difference = sum(abs(wide[point] - narrow[point]) for point in left) / len(left)
    assert difference < 25, difference


def grey_levels(path):
    out = subprocess.run(["convert", path, "-colorspace", "gray", "-depth", "8", "txt:-"],
                         capture_output=True, text=True, check=True).stdout
    return {(int(m[1]), int(m[2])): int(m[3])
            for m in re.finditer(r"^(\d+),(\d+): \((\d+)", out, re.M)}


# ---- the default application the user chose ----------------------------------------------------

def default_for_text(scrivlet):
    out = scrivlet.run_tool("gio", "mime", "text/plain").stdout
    found = re.search(r"Default application for .text/plain.: (\S+)", out)
    return found.group(1) if found else None


def choose_other_editor(scrivlet):
    applications = os.path.join(scrivlet.folders.data, "applications")
    with open(os.path.join(applications, "other-editor.desktop"), "w") as entry:
        entry.write("[Desktop Entry]\nType=Application\nName=Other Editor\nExec=true %F\n"
                    "MimeType=text/plain;\n")
    result = scrivlet.run_tool("gio", "mime", "text/plain", "other-editor.desktop")
    assert result.returncode == 0, result.stderr
    assert default_for_text(scrivlet) == "other-editor.desktop"


@pytest.mark.parametrize("answer", ["no", "yes"])
def test_launch_leaves_the_default_the_user_chose(scrivlet, answer):
    choose_other_editor(scrivlet)
    scrivlet.launch(answer_default_editor=answer, expect=["Untitled"])
    if answer == "yes":
        scrivlet.wait(lambda: default_for_text(scrivlet) == "org.scrivlet.Scrivlet.desktop",
                      "Scrivlet as the default for text/plain")
        scrivlet.quit()
        choose_other_editor(scrivlet)
    else:
        scrivlet.settle(1)
        assert default_for_text(scrivlet) == "other-editor.desktop"
        scrivlet.quit()
    scrivlet.launch(expect=["Untitled"])
    scrivlet.settle(1)
    assert default_for_text(scrivlet) == "other-editor.desktop"


# ---- Print to PDF -------------------------------------------------------------------------------

def open_menu_item(scrivlet, window, menu_key, *names):
    """Opens a window's menu with its key and clicks the first of names it shows."""
    scrivlet.keys_into(window, menu_key)
    item = scrivlet.wait(lambda: next(filter(None, (scrivlet._menu_item(
        scrivlet.window(window), name) for name in names)), None), f"the menu item {names[0]!r}")
    scrivlet._click(item)


@pytest.mark.parametrize("name, proposed", [("notes.txt", "notes.pdf"),
                                            ("Untitled", "Untitled.pdf")])
def test_print_to_pdf_proposes_the_documents_name(scrivlet, name, proposed):
    scrivlet.write_settings(SEEN)
    if name == "Untitled":
        scrivlet.launch(expect=[name])
    else:
        write_bytes(scrivlet.path(name), b"some text\n")
        scrivlet.launch(name, expect=[name])
    open_menu_item(scrivlet, name, "alt+f", "Print…", "Print...")
    dialog = scrivlet.wait_for_dialog(title="Print")
    output = scrivlet.wait(lambda: scrivlet.field_text(dialog, "Output file:"),
                           "the print dialog's output file")
    assert os.path.basename(output) == proposed, output
    scrivlet.focus(dialog)
    scrivlet.key("Escape")
    scrivlet.wait(lambda: scrivlet.dialog(title="Print") is None, "the print dialog to close")
    assert not os.path.exists(output), "a cancelled print wrote a file"


# ---- the colour panel follows the app's appearance ---------------------------------------------

def looks_dark(scrivlet, window):
    box = extents(scrivlet.find_window_like(window).accessible)
    shot = scrivlet.desktop.screenshot(os.path.join(scrivlet.artefacts, "panel.png"))
    return lightness(commonest_colour(shot, box.x, box.y, box.width, box.height)) < 128


@pytest.mark.parametrize("first, then", [("dark", "light"), ("light", "dark")])
def test_colour_panel_follows_the_appearance(scrivlet, first, then):
    scrivlet.write_settings({**SEEN, "appearanceMode": first})
    scrivlet.launch(expect=["Untitled"])
    settings = open_settings(scrivlet, "Untitled")
    press_in(scrivlet, settings, "push button", "Background:")
    panel = wait_top(scrivlet, "Editor Color")
    for appearance in (first, then):
        if appearance == then:
            press_in(scrivlet, settings, "radio button", then.capitalize())
            scrivlet.wait(lambda: scrivlet.read_settings().get("appearanceMode") == then,
                          f"appearanceMode={then} in the settings file")
        scrivlet.wait(lambda: looks_dark(scrivlet, panel) == (appearance == "dark"),
                      f"the colour panel to look {appearance}")


# ---- a build that is not installed --------------------------------------------------------------

NOT_INSTALLED = "Scrivlet is not installed, so it cannot be made the default"


@pytest.mark.parametrize("installed", [True, False])
def test_file_types_say_when_scrivlet_cannot_be_the_default(scrivlet, installed):
    entry = APP_ID + ".desktop"
    if any(os.path.exists(os.path.join(folder, "applications", entry))
           for folder in ("/usr/local/share", "/usr/share")):
        pytest.skip("Scrivlet is installed on this computer")
    if not installed:
        os.remove(os.path.join(scrivlet.folders.data, "applications", entry))
    scrivlet.write_settings(SEEN)
    scrivlet.launch(expect=["Untitled"])
    settings = open_settings(scrivlet, "Untitled")

    def labels_once_built():
        texts = scrivlet.find_window_like(settings).label_texts()
        return texts if "Text Color:" in texts else None
    texts = scrivlet.wait(labels_once_built, "the Settings window's labels")
    assert any(text.startswith(NOT_INSTALLED) for text in texts) == (not installed), texts


# ---- the file-manager hooks page -------------------------------------------------------------

def hook_file(scrivlet, manager):
    return {"Nemo": os.path.join(scrivlet.folders.data, "nemo", "actions",
                                 "scrivlet-new-text-document.nemo_action"),
            "Dolphin": os.path.join(scrivlet.folders.data, "kio", "servicemenus",
                                    "scrivlet-new-text-document.desktop"),
            "Thunar": os.path.join(scrivlet.folders.config, "Thunar", "uca.xml")}[manager]


def has_hook(scrivlet, manager):
    """Ours is there: Thunar's file holds the user's other actions too."""
    path = hook_file(scrivlet, manager)
    return os.path.exists(path) and "scrivlet-finder-sync" in read_bytes(path).decode()


def row_texts(scrivlet, page):
    return scrivlet.find_window_like(page).label_texts()


@pytest.mark.parametrize("manager", ["Nemo", "Dolphin", "Thunar"])
def test_a_broken_hook_shows_as_broken_and_is_removed(scrivlet, manager):
    # A stand-in of the file manager, so its row shows whether or not it is installed here.
    tools = os.path.join(scrivlet.folders.root, "bin")
    os.makedirs(tools)
    stand_in = os.path.join(tools, manager.lower())
    write_bytes(stand_in, b"#!/bin/sh\nexit 0\n")
    os.chmod(stand_in, 0o755)
    write_bytes(scrivlet.path("a.txt"), b"abc")
    scrivlet.write_settings(SEEN)
    scrivlet.launch("a.txt", expect=["a.txt"],
                    env={"PATH": tools + ":" + os.environ.get("PATH", "/usr/bin:/bin")})
    page = open_hooks_page(scrivlet)
    press_in(scrivlet, page, "push button", f"Install the hook for {manager}")
    scrivlet.wait(lambda: has_hook(scrivlet, manager), f"the per-user {manager} hook")
    installed = scrivlet.wait(
        lambda: next((t for t in row_texts(scrivlet, page) if t.startswith("Installed for you")),
                     None), f"the {manager} row to say Installed for you")
    # Only Nautilus and Nemo keep the item to a folder's background; a running Thunar reads
    # its custom actions only when it starts.
    assert (f"{manager} also offers it on a single selected folder" in installed) \
        == (manager != "Nemo"), installed
    assert ("thunar -q" in installed) == (manager == "Thunar"), installed
    hook = hook_file(scrivlet, manager)
    missing = os.path.join(scrivlet.folders.root, "gone", "scrivlet-finder-sync")
    write_bytes(hook, read_bytes(hook).decode().replace(scrivlet.finder_sync, missing).encode())
    assert missing in read_bytes(hook).decode()
    scrivlet.focus(page)
    scrivlet.key("alt+F4")  # the window manager's close: Escape has a journey of its own
    wait_closed(scrivlet, "File Manager Extensions")
    page = open_hooks_page(scrivlet)
    scrivlet.wait(lambda: any(t.startswith("Broken") and missing in t
                              for t in row_texts(scrivlet, page)),
                  f"the {manager} row to say Broken",
                  detail=lambda: row_texts(scrivlet, page))
    press_in(scrivlet, page, "push button", f"Remove the hook for {manager}")
    scrivlet.wait(lambda: not has_hook(scrivlet, manager),
                  f"the per-user {manager} hook to be removed")
