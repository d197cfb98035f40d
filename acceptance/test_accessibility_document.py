"""A document window, its find panel, its close question and its alerts, used as a screen reader
user does: what the accessibility checker finds in each, what is announced when the state changes
without the focus moving (the match count, the status bar), the menus by keyboard, and a whole
edit, search, replace and close by keyboard alone."""

import os

import pytest

import accessibility
from desktop import poll
from driver import (CLOSE_PROMPT, PATIENCE, _pyatspi, _safe, children, descendants, read_bytes,
                    role_name, states_of, write_bytes)

SEEN = {"hasShownDefaultHandlerPrompt": True}


class Announcements:
    """What a screen reader is told about status-bar objects while it listens: their new names and
    the text inserted into them, in the order they arrive."""

    EVENTS = ("object:property-change:accessible-name", "object:text-changed:insert")

    def __init__(self):
        self.heard = []
        self._registry = _pyatspi().Registry
        for event in self.EVENTS:
            self._registry.registerEventListener(self._record, event)

    def _record(self, event):
        if role_name(event.source) != "status bar":
            return
        text = event.any_data if isinstance(event.any_data, str) else ""
        self.heard.append(text or _safe(lambda: event.source.name, "") or "")

    def pump(self):
        from gi.repository import GLib
        context = GLib.MainContext.default()
        while context.pending():
            context.iteration(False)

    def texts(self):
        self.pump()
        return list(self.heard)

    def wait_for(self, scrivlet, wanted, after=0):
        """The index of the first announcement from `after` on that contains `wanted`."""
        def found():
            heard = self.texts()
            for index in range(after, len(heard)):
                if wanted in heard[index]:
                    return index + 1
            return None
        return scrivlet.wait(found, f"an announcement of {wanted!r}",
                             detail=lambda: f"heard {self.texts()!r}") - 1

    def close(self):
        for event in self.EVENTS:
            _safe(lambda: self._registry.deregisterEventListener(self._record, event))

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


def make_file(scrivlet, name, data):
    path = scrivlet.path(name)
    write_bytes(path, data)
    return path


def open_file(scrivlet, data, name="f.txt"):
    """The editor started on a file of these bytes (the first launch's questions seen), once the
    window shows the whole text."""
    path = make_file(scrivlet, name, data)
    scrivlet.write_settings(SEEN)
    scrivlet.launch(name, expect=[name])
    scrivlet.wait_for_text(name, data.decode())
    return path


def status_bars(window):
    return [node for node in descendants(window.accessible) if role_name(node) == "status bar"]


def text_of(node):
    text = node.queryText()
    return text.getText(0, text.characterCount)


def focused_name(scrivlet):
    """The name of the innermost object with the focus (a button box holds it with its button)."""
    app = scrivlet.application()
    focused = [node for node in descendants(app) if _pyatspi().STATE_FOCUSED in states_of(node)
               and role_name(node) not in ("filler", "panel")] if app is not None else []
    return (_safe(lambda: focused[-1].name, "") or "") if focused else ""


def tab_to(scrivlet, name, presses=12):
    """Tab until the control named name has the focus."""
    for _ in range(presses):
        if focused_name(scrivlet) == name:
            return
        scrivlet.key("Tab")
        scrivlet.settle(0.2)
    assert focused_name(scrivlet) == name, f"Tab never reached {name!r}"


# ---- what the checker finds ---------------------------------------------------------------------

def _document(scrivlet):
    return scrivlet.window("f.txt")


def _new_document(scrivlet):
    scrivlet.keys_into("f.txt", "ctrl+n")
    return scrivlet.wait_for_window("Untitled")


def _find_panel(scrivlet, replace):
    scrivlet.open_find("f.txt", replace=replace)
    scrivlet.type("cat")
    scrivlet.wait(lambda: scrivlet.match_count() == "Search results: 1 of 2", "two matches",
                  detail=scrivlet.match_count)
    return scrivlet.find_panel()


def _close_prompt(scrivlet):
    scrivlet.type_into("f.txt", "more ")
    scrivlet.close("f.txt")
    return scrivlet.wait_for_dialog(containing=CLOSE_PROMPT)


def _failed_save(scrivlet):
    scrivlet.type_into("f.txt", "more ")
    os.chmod(scrivlet.path("f.txt"), 0o444)
    os.chmod(scrivlet.folders.files, 0o555)
    try:
        scrivlet.save("f.txt")
        return scrivlet.wait_for_dialog(title="Scrivlet")
    finally:
        os.chmod(scrivlet.folders.files, 0o755)


WINDOWS = {
    "document window of a file": _document,
    "new document window": _new_document,
    "find panel in Find mode": lambda scrivlet: _find_panel(scrivlet, replace=False),
    "find panel in Replace mode": lambda scrivlet: _find_panel(scrivlet, replace=True),
    "close prompt": _close_prompt,
    "failed save alert": _failed_save,
}


@pytest.mark.parametrize("which", list(WINDOWS))
def test_accessibility_document_checker_finds_nothing(scrivlet, which):
    open_file(scrivlet, b"cat dog cat\n")
    window = WINDOWS[which](scrivlet)
    scrivlet.settle(0.5)
    assert accessibility.problems(window) + windows_inside(window) == []


def windows_inside(window):
    """Objects below a window that a reader would announce as windows of their own."""
    return [f"{accessibility.describe(node)} inside {window.title!r} reads as a window"
            for _, _, node in accessibility.walk(window.accessible)
            if role_name(node) in accessibility.WINDOW_ROLES]


# ---- what is announced --------------------------------------------------------------------------

def _type_search(scrivlet, heard):
    scrivlet.type("cat")
    return heard.wait_for(scrivlet, "Search results: 1 of 3")


def _step_with_return(scrivlet, heard):
    after = _type_search(scrivlet, heard)
    scrivlet.key("Return")
    heard.wait_for(scrivlet, "Search results: 2 of 3", after + 1)


def _step_with_ctrl_g_from_the_text(scrivlet, heard):
    after = _type_search(scrivlet, heard)
    scrivlet.keys_into("f.txt", "ctrl+g")
    heard.wait_for(scrivlet, "Search results: 2 of 3", after + 1)


STEPS = {
    "the count once the search is typed": _type_search,
    "Return in the search field": _step_with_return,
    "Ctrl+G in the text": _step_with_ctrl_g_from_the_text,
}


@pytest.mark.parametrize("step", list(STEPS))
def test_accessibility_document_announces_the_match_count(scrivlet, step):
    open_file(scrivlet, b"cat dog cat bird cat\n")
    scrivlet.open_find("f.txt")
    with Announcements() as heard:
        STEPS[step](scrivlet, heard)


def test_accessibility_document_announces_a_long_search_then_its_count(scrivlet):
    lines = 600_000
    make_file(scrivlet, "long.txt", b"the cat sat on the mat\n" * lines)
    scrivlet.write_settings(SEEN)
    scrivlet.launch("long.txt", expect=["long.txt"])
    scrivlet.wait(lambda: (scrivlet.window("long.txt").status() or "").startswith(
        f"{lines * 23} characters"), "the whole text", detail=lambda: scrivlet.window("long.txt").status())
    scrivlet.open_find("long.txt")
    with Announcements() as heard:
        scrivlet.type("mat")
        after = heard.wait_for(scrivlet, "Searching the document")
        heard.wait_for(scrivlet, f"Search results: 1 of {lines}", after + 1)


# ---- the status bar -----------------------------------------------------------------------------

def test_accessibility_document_status_bar_reads_and_announces_its_text(scrivlet):
    path = open_file(scrivlet, b"one two\n")
    bars = scrivlet.wait(lambda: status_bars(scrivlet.window("f.txt")), "a status bar")
    assert len(bars) == 1
    scrivlet.wait(lambda: text_of(bars[0]) == f"8 characters, 2 words, 1 paragraph; {path}",
                  "the counts and the path as the status bar's text",
                  detail=lambda: text_of(bars[0]))
    with Announcements() as heard:
        scrivlet.keys_into("f.txt", "ctrl+End")
        scrivlet.type("three")
        heard.wait_for(scrivlet, f"13 characters, 3 words, 2 paragraphs; {path}")
        other = scrivlet.path("g.txt")
        scrivlet.save_as("f.txt", other)
        heard.wait_for(scrivlet, f"13 characters, 3 words, 2 paragraphs; {other}")
    assert text_of(status_bars(scrivlet.wait_for_window("g.txt"))[0]).endswith("; " + other)


# ---- menus by keyboard --------------------------------------------------------------------------

def _new_window_opened(scrivlet):
    return scrivlet.wait_for_window("Untitled")


def _find_panel_opened(scrivlet):
    return scrivlet.wait(scrivlet.find_panel, "the find panel")


def _status_bar_hidden(scrivlet):
    return scrivlet.wait(lambda: scrivlet.read_settings().get("showStatusBar") == "false",
                         "the status bar to be hidden")


MENU_KEYS = {
    "F10, then N for New": (["F10", "n"], _new_window_opened),
    "Alt+E, then F for Find": (["alt+e", "f"], _find_panel_opened),
    "Alt+V, then S for Hide Status Bar": (["alt+v", "s"], _status_bar_hidden),
}


@pytest.mark.parametrize("row", list(MENU_KEYS))
def test_accessibility_document_menus_open_and_choose_by_keyboard(scrivlet, row):
    keys, outcome = MENU_KEYS[row]
    open_file(scrivlet, b"text\n")
    scrivlet.focus_text("f.txt")
    for key in keys:
        scrivlet.key(key)
        scrivlet.settle(0.3)
    outcome(scrivlet)
    assert scrivlet.window("f.txt").text() == "text\n", "no letter went into the text"


# ---- the keyboard alone -------------------------------------------------------------------------

def test_accessibility_document_keyboard_alone_types_finds_replaces_and_closes(scrivlet):
    path = make_file(scrivlet, "f.txt", b"")
    scrivlet.write_settings(SEEN)
    scrivlet.launch("f.txt", expect=["f.txt"])
    scrivlet.type_into("f.txt", "one fish\ntwo fish\nred fish\n")
    scrivlet.wait_for_text("f.txt", "one fish\ntwo fish\nred fish\n")

    scrivlet.key("ctrl+f")
    scrivlet.wait(scrivlet.find_panel, "the find panel")
    scrivlet.wait(lambda: focused_name(scrivlet) == "Search text", "the search field's focus")
    scrivlet.type("fish")
    scrivlet.wait(lambda: scrivlet.match_count() == "Search results: 1 of 3", "three matches",
                  detail=scrivlet.match_count)
    scrivlet.key("Return")
    scrivlet.wait(lambda: scrivlet.match_count() == "Search results: 2 of 3", "the second match",
                  detail=scrivlet.match_count)

    scrivlet.key("ctrl+alt+f")
    scrivlet.wait(lambda: scrivlet.find_panel().title == "Find and Replace", "the replace row")
    tab_to(scrivlet, "Replacement text")
    scrivlet.type("cat")
    tab_to(scrivlet, "Replace All")
    scrivlet.key("Return")
    scrivlet.wait_for_text("f.txt", "one cat\ntwo cat\nred cat\n")
    scrivlet.key("Escape")
    scrivlet.wait(lambda: scrivlet.find_panel() is None, "the panel to close")

    # Return answers with the focused button: Cancel first, then the default, Save.
    scrivlet.keys_into("f.txt", "ctrl+w")
    prompt = scrivlet.focus(scrivlet.wait_for_dialog(containing=CLOSE_PROMPT))
    tab_to(scrivlet, "Cancel", presses=4)
    scrivlet.key("Return")
    scrivlet.wait(lambda: scrivlet.dialog(containing=CLOSE_PROMPT) is None, "the prompt to go")
    assert scrivlet.window("f.txt").modified
    assert read_bytes(path) == b""
    scrivlet.keys_into("f.txt", "ctrl+w")
    prompt = scrivlet.focus(scrivlet.wait_for_dialog(containing=CLOSE_PROMPT))
    scrivlet.wait(lambda: focused_name(scrivlet) == "Save", "Save to have the focus",
                  detail=lambda: focused_name(scrivlet))
    scrivlet.key("Return")
    scrivlet.wait(lambda: scrivlet.window("f.txt") is None, "the window to close")
    assert read_bytes(path) == b"one cat\ntwo cat\nred cat\n"
