"""Journeys through the real editor, each under the settings that change it. What is checked is
what a person can see or read (window titles, the text a screen reader reads, the status bar) and
the files on disk, byte for byte."""

import os
import stat
import time

import pytest

from driver import CLOSE_PROMPT, PATIENCE, _pyatspi, read_bytes, saved_form, write_bytes

SEEN = {"hasShownDefaultHandlerPrompt": True}
SETTINGS = {
    "defaults": SEEN,
    "first_launch": {},
    "reopen_off": {**SEEN, "reopenDocumentsOnLaunch": False},
    "bare": {**SEEN, "showStatusBar": False, "showLineNumbers": False},
}

# name -> (bytes on disk, text the window shows)
CONTENTS = {
    "lines": (b"line one\nline two\n", "line one\nline two\n"),
    "no_final_line_feed": (b"last line", "last line"),
    "utf8": ("Grüße, 世界\n".encode(), "Grüße, 世界\n"),
    "crlf": (b"a\r\nb\r\n", "a\nb\n"),
    "latin1": (b"caf\xe9\n", "caf\u00e9\n"),
}


def start(scrivlet, row, *args, expect=None):
    """The first launch of a journey, under the settings of row."""
    scrivlet.write_settings(SETTINGS[row])
    answer = "no" if "hasShownDefaultHandlerPrompt" not in SETTINGS[row] else None
    scrivlet.launch(*args, answer_default_editor=answer, expect=expect)


def make_file(scrivlet, name, data):
    path = scrivlet.path(name)
    write_bytes(path, data)
    return path


@pytest.mark.parametrize("row", ["defaults", "first_launch", "bare"])
def test_launch_empty(scrivlet, row):
    start(scrivlet, row, expect=["Untitled"])
    window = scrivlet.window("Untitled")
    assert scrivlet.titles() == ["Untitled"]
    assert window.text() == ""
    shown = None if row == "bare" else "0 characters, 0 words, 0 paragraphs"
    assert window.status() == shown
    assert scrivlet.read_settings().get("hasShownDefaultHandlerPrompt") == "true"


@pytest.mark.parametrize("row,content", [
    ("defaults", "lines"), ("defaults", "no_final_line_feed"), ("defaults", "utf8"),
    ("defaults", "crlf"), ("defaults", "latin1"), ("first_launch", "lines"),
    ("reopen_off", "utf8"), ("bare", "lines"),
])
def test_open_from_command_line(scrivlet, row, content):
    data, shown = CONTENTS[content]
    make_file(scrivlet, "a.txt", data)
    start(scrivlet, row, "a.txt", expect=["a.txt"])
    scrivlet.wait_for_text("a.txt", shown)
    assert scrivlet.titles() == ["a.txt"]
    assert read_bytes(scrivlet.path("a.txt")) == data


# The editor's test switch for the memory it may use: 8 MB, as on a machine short of memory,
# holds a text of about 1 MB.
SHORT_OF_MEMORY = {"SCRIVLET_TEST_AVAILABLE_MEMORY": "8000000"}


@pytest.mark.parametrize("size,opens", [(2_000_000, False), (300_000, True)])
def test_open_a_file_larger_than_memory_allows(scrivlet, size, opens):
    data = (b"word " * (size // 5 - 1)) + b"last\n"
    path = make_file(scrivlet, "big.txt", data)
    scrivlet.write_settings(SEEN)
    if opens:
        scrivlet.launch("big.txt", expect=["big.txt"], env=SHORT_OF_MEMORY)
        scrivlet.wait(lambda: (scrivlet.window("big.txt").status() or "").startswith(
            f"{len(data)} characters"), "the whole text counted")
    else:
        scrivlet.start("big.txt", env=SHORT_OF_MEMORY)
        alert = scrivlet.wait_for_dialog(containing="could not be opened")
        said = " ".join(alert.label_texts())
        assert "too large to open" in said
        assert "It is 2.0 MB" in said and "8.0 MB is available" in said, said
        assert "big.txt" not in scrivlet.titles()
    assert read_bytes(path) == data


@pytest.mark.parametrize("row", ["defaults", "bare"])
def test_open_with_the_open_dialog(scrivlet, row):
    make_file(scrivlet, "b.txt", b"from the dialog\n")
    start(scrivlet, row, expect=["Untitled"])
    scrivlet.open_with_dialog("Untitled", scrivlet.path("b.txt"))
    scrivlet.wait_for_text("b.txt", "from the dialog\n")


@pytest.mark.parametrize("row", ["defaults", "reopen_off"])
def test_open_recent_after_relaunch(scrivlet, row):
    make_file(scrivlet, "r.txt", b"recent text")
    start(scrivlet, row, "r.txt", expect=["r.txt"])
    scrivlet.wait_for_text("r.txt", "recent text")
    scrivlet.quit()
    scrivlet.launch()
    opened = scrivlet.document_windows()[0].name
    if row == "defaults":
        assert opened == "r.txt"
        scrivlet.keys_into("r.txt", "ctrl+n")
        scrivlet.close("r.txt")
        scrivlet.wait(lambda: scrivlet.window("r.txt") is None, "r.txt to close")
        opened = "Untitled"
    scrivlet.open_recent(opened, "r.txt")
    scrivlet.wait_for_text("r.txt", "recent text")


@pytest.mark.parametrize("how", ["xdg-open", "gio open", "command line"])
def test_open_while_running(scrivlet, how):
    make_file(scrivlet, "w.txt", b"while running\n")
    start(scrivlet, "defaults", expect=["Untitled"])
    pid = scrivlet.editor_pid()
    if how == "command line":
        second = scrivlet.start(scrivlet.path("w.txt"))
        assert second.wait(timeout=60) == 0
    else:
        tool = scrivlet.xdg_open if how == "xdg-open" else scrivlet.gio_open
        result = tool(scrivlet.path("w.txt"))
        assert result.returncode == 0, result.stderr
    scrivlet.wait_for_text("w.txt", "while running\n")
    assert scrivlet.editor_pid() == pid
    assert scrivlet.titles() == ["Untitled", "w.txt"]


@pytest.mark.parametrize("content", ["no_final_line_feed", "lines", "crlf", "utf8"])
def test_type_and_save(scrivlet, content):
    data, shown = CONTENTS[content]
    make_file(scrivlet, "a.txt", data)
    start(scrivlet, "defaults", "a.txt", expect=["a.txt"])
    scrivlet.wait_for_text("a.txt", shown)
    scrivlet.keys_into("a.txt", "ctrl+Home")
    scrivlet.type("New ")
    scrivlet.wait_for_text("a.txt", "New " + shown)
    assert scrivlet.window("a.txt").modified
    scrivlet.save("a.txt")
    scrivlet.wait_saved("a.txt")
    assert read_bytes(scrivlet.path("a.txt")) == saved_form("New " + shown)


def test_save_as_a_new_file_and_over_an_existing_one(scrivlet):
    make_file(scrivlet, "taken.txt", b"old bytes")
    start(scrivlet, "defaults", expect=["Untitled"])
    scrivlet.type_into("Untitled", "first words")
    scrivlet.save("Untitled")  # an untitled text asks where
    scrivlet._file_dialog("Save As", scrivlet.path("first.txt"))
    scrivlet.wait_for_window("first.txt")
    scrivlet.wait_saved("first.txt")
    assert read_bytes(scrivlet.path("first.txt")) == b"first words"
    scrivlet.type_into("first.txt", " again")
    scrivlet.save_as("first.txt", scrivlet.path("taken.txt"), replace=True)
    scrivlet.wait_for_window("taken.txt")
    scrivlet.wait_saved("taken.txt")
    assert read_bytes(scrivlet.path("taken.txt")) == b"first words again"
    assert read_bytes(scrivlet.path("first.txt")) == b"first words"
    assert scrivlet.titles() == ["taken.txt"]


def test_typing_goes_on_while_a_large_file_saves(scrivlet):
    """The save writes the text as it was when Ctrl+S was pressed; what is typed right after
    stays in the window, still an unsaved change, and the next save writes it too."""
    data = b"lorem ipsum dolor sit amet\n" * (80_000_000 // 27)
    path = make_file(scrivlet, "large.txt", data)
    start(scrivlet, "defaults", path, expect=["large.txt"])
    scrivlet.wait(lambda: (scrivlet.window("large.txt").status() or "")
                  .startswith(f"{len(data)} characters"),
                  "the whole file to load", timeout=PATIENCE * 4,
                  detail=lambda: scrivlet.window("large.txt").status())

    def starts_with(prefix):
        widget = scrivlet.window("large.txt").editor_widget()
        return widget.queryText().getText(0, len(prefix)) == prefix

    def on_disk(expected):
        return os.path.getsize(path) == len(expected) and read_bytes(path) == expected

    scrivlet.keys_into("large.txt", "ctrl+Home")
    scrivlet.type("A")
    scrivlet.wait(lambda: starts_with("Alorem"), "the first edit")
    # One xdotool run, so the key follows Ctrl+S by milliseconds, while the file is written.
    scrivlet.key("ctrl+s", "b")
    scrivlet.wait(lambda: on_disk(b"A" + data), "the save of the text as Ctrl+S found it",
                  timeout=PATIENCE * 2)
    scrivlet.wait(lambda: starts_with("Ablorem"), "the typing after Ctrl+S")
    scrivlet.settle(1)
    assert scrivlet.window("large.txt").modified, "the typing after Ctrl+S is not saved yet"
    assert on_disk(b"A" + data)
    scrivlet.save("large.txt")
    scrivlet.wait_saved("large.txt")
    assert on_disk(b"Ab" + data)


@pytest.mark.parametrize("answer", ["save", "dont_save", "cancel"])
def test_close_an_edited_file(scrivlet, answer):
    make_file(scrivlet, "a.txt", b"alpha")
    make_file(scrivlet, "b.txt", b"bravo")
    start(scrivlet, "defaults", "a.txt", "b.txt", expect=["a.txt", "b.txt"])
    scrivlet.wait_for_text("a.txt", "alpha")
    scrivlet.keys_into("a.txt", "ctrl+End")
    scrivlet.type(" beta")
    scrivlet.wait_for_text("a.txt", "alpha beta")
    scrivlet.close("a.txt", answer)
    if answer == "cancel":
        assert scrivlet.window("a.txt").modified
        assert scrivlet.window("a.txt").text() == "alpha beta"
        assert read_bytes(scrivlet.path("a.txt")) == b"alpha"
        return
    scrivlet.wait(lambda: scrivlet.window("a.txt") is None, "a.txt to close")
    assert scrivlet.titles() == ["b.txt"]
    assert read_bytes(scrivlet.path("a.txt")) == (b"alpha beta" if answer == "save" else b"alpha")


def test_close_an_unedited_file_asks_nothing(scrivlet):
    make_file(scrivlet, "a.txt", b"alpha")
    start(scrivlet, "defaults", "a.txt", expect=["a.txt"])
    scrivlet.keys_into("a.txt", "ctrl+n")
    scrivlet.wait_for_window("Untitled")
    scrivlet.close("a.txt")
    scrivlet.wait(lambda: scrivlet.window("a.txt") is None, "a.txt to close")
    assert scrivlet.dialog(containing=CLOSE_PROMPT) is None


def _edit_file_and_draft(scrivlet, row):
    make_file(scrivlet, "a.txt", b"alpha")
    start(scrivlet, row, "a.txt", expect=["a.txt"])
    scrivlet.wait_for_text("a.txt", "alpha")
    scrivlet.keys_into("a.txt", "ctrl+End")
    scrivlet.type(" edited")
    scrivlet.keys_into("a.txt", "ctrl+n")
    scrivlet.type_into("Untitled", "draft text")
    scrivlet.wait_for_text("Untitled", "draft text")
    scrivlet.wait_for_text("a.txt", "alpha edited")


@pytest.mark.parametrize("row", ["defaults", "reopen_off"])
def test_quit_and_relaunch(scrivlet, row):
    _edit_file_and_draft(scrivlet, row)
    scrivlet.quit()
    # Quitting saves an edited file; an untitled text is kept as a draft.
    assert read_bytes(scrivlet.path("a.txt")) == b"alpha edited"
    scrivlet.launch()
    scrivlet.wait_for_text("Untitled", "draft text")
    assert scrivlet.window("Untitled").modified
    if row == "defaults":
        scrivlet.wait_for_text("a.txt", "alpha edited")
        assert not scrivlet.window("a.txt").modified
        assert scrivlet.titles() == ["Untitled*", "a.txt"]
    else:
        scrivlet.settle(1)
        assert scrivlet.titles() == ["Untitled*"]


@pytest.mark.parametrize("row", ["defaults", "reopen_off"])
def test_kill_and_relaunch(scrivlet, row):
    _edit_file_and_draft(scrivlet, row)
    time.sleep(2.5)  # what was typed more than 2 s before a crash is never lost
    scrivlet.kill()
    assert read_bytes(scrivlet.path("a.txt")) == b"alpha"
    scrivlet.launch()
    scrivlet.wait_for_text("Untitled", "draft text")
    scrivlet.wait_for_text("a.txt", "alpha edited")
    assert scrivlet.window("a.txt").modified and scrivlet.window("Untitled").modified
    assert read_bytes(scrivlet.path("a.txt")) == b"alpha"


def test_file_changed_on_disk_follows_when_unedited(scrivlet):
    make_file(scrivlet, "a.txt", b"first")
    start(scrivlet, "defaults", "a.txt", expect=["a.txt"])
    scrivlet.wait_for_text("a.txt", "first")
    make_file(scrivlet, "a.txt", b"second version")
    scrivlet.wait_for_text("a.txt", "second version")
    assert not scrivlet.window("a.txt").modified


def test_file_changed_on_disk_while_edited_asks_before_replacing(scrivlet):
    make_file(scrivlet, "a.txt", b"first")
    start(scrivlet, "defaults", "a.txt", expect=["a.txt"])
    scrivlet.wait_for_text("a.txt", "first")
    scrivlet.keys_into("a.txt", "ctrl+End")
    scrivlet.type(" mine")
    scrivlet.wait_for_text("a.txt", "first mine")
    make_file(scrivlet, "a.txt", b"theirs")
    window = scrivlet.window("a.txt")
    scrivlet.wait(lambda: any("was changed by another program" in text
                              for text in scrivlet.window("a.txt").label_texts()),
                  "the changed-on-disk notice")
    assert window.text() == "first mine"
    scrivlet.save("a.txt")
    question = scrivlet.wait_for_dialog(containing="has been changed by another program")
    scrivlet.focus(question)
    scrivlet.key("Escape")  # Cancel: keep their version on disk
    scrivlet.settle()
    assert read_bytes(scrivlet.path("a.txt")) == b"theirs"
    assert scrivlet.window("a.txt").modified


def test_file_deleted_on_disk_keeps_the_text_and_saves_it_again(scrivlet):
    make_file(scrivlet, "a.txt", b"keep me")
    start(scrivlet, "defaults", "a.txt", expect=["a.txt"])
    scrivlet.wait_for_text("a.txt", "keep me")
    os.remove(scrivlet.path("a.txt"))
    scrivlet.settle(1)
    assert scrivlet.window("a.txt").text() == "keep me"
    scrivlet.keys_into("a.txt", "ctrl+End")
    scrivlet.type("!")
    scrivlet.save("a.txt")
    scrivlet.wait(lambda: os.path.exists(scrivlet.path("a.txt")), "a.txt to be written again")
    scrivlet.wait(lambda: read_bytes(scrivlet.path("a.txt")) == b"keep me!", "the saved text")


def test_read_only_folder_refuses_the_save_and_keeps_the_edit(scrivlet):
    folder = scrivlet.path("locked")
    os.makedirs(folder)
    path = os.path.join(folder, "a.txt")
    write_bytes(path, b"fixed")
    os.chmod(folder, 0o555)
    try:
        scrivlet.write_settings(SEEN)
        scrivlet.launch(path, expect=["a.txt"])
        scrivlet.wait_for_text("a.txt", "fixed")
        scrivlet.keys_into("a.txt", "ctrl+End")
        scrivlet.type(" more")
        scrivlet.save("a.txt")
        alert = scrivlet.wait_for_dialog(title="Scrivlet")
        assert alert.label_texts(), "the failed save says why"
        scrivlet.focus(alert)
        scrivlet.key("Return")
        assert read_bytes(path) == b"fixed"
        assert scrivlet.window("a.txt").modified
        assert scrivlet.window("a.txt").text() == "fixed more"
    finally:
        os.chmod(folder, 0o755)


def test_read_only_file_keeps_its_mode(scrivlet):
    path = make_file(scrivlet, "ro.txt", b"fixed")
    os.chmod(path, 0o444)
    scrivlet.write_settings(SEEN)
    scrivlet.launch(path, expect=["ro.txt"])
    scrivlet.wait_for_text("ro.txt", "fixed")
    scrivlet.keys_into("ro.txt", "ctrl+End")
    scrivlet.type(" more")
    scrivlet.save("ro.txt")
    scrivlet.settle(1)
    alert = scrivlet.dialog(title="Scrivlet")
    if alert is not None:  # refused: nothing changed, the edit is kept
        assert read_bytes(path) == b"fixed"
        assert scrivlet.window("ro.txt").modified
    else:
        assert read_bytes(path) == b"fixed more"
    assert stat.S_IMODE(os.stat(path).st_mode) == 0o444


def _panel_focused(scrivlet):
    """Puts the keyboard in the find panel, as a person clicking it does."""
    panel = scrivlet.wait(scrivlet.find_panel, "the find panel")
    return scrivlet.focus(panel)


@pytest.mark.parametrize("row", ["defaults", "bare"])
def test_find_replace_all_and_undo(scrivlet, row):
    original = "one two one\nthree one"
    make_file(scrivlet, "f.txt", original.encode())
    start(scrivlet, row, "f.txt", expect=["f.txt"])
    scrivlet.wait_for_text("f.txt", original)
    scrivlet.open_find("f.txt", replace=True)
    _panel_focused(scrivlet)
    scrivlet.type("one")
    scrivlet.wait(lambda: scrivlet.match_count() == "Search results: 1 of 3", "3 matches",
                  detail=scrivlet.match_count)
    scrivlet.click_field(scrivlet.find_panel(), "Replacement text")
    scrivlet.type("1")
    scrivlet.press(scrivlet.find_panel(), "Replace All")
    scrivlet.wait_for_text("f.txt", "1 two 1\nthree 1")
    assert scrivlet.window("f.txt").modified
    scrivlet.keys_into("f.txt", "ctrl+z")
    scrivlet.wait_for_text("f.txt", original)
    assert read_bytes(scrivlet.path("f.txt")) == original.encode()


@pytest.mark.parametrize("row", ["defaults", "bare"])
def test_matches_follow_edits_at_both_ends_then_replace_all(scrivlet, row):
    """Forty thousand matches, more than one search turn reads: the live matches are carried
    through edits that add and take away matches at the start and the end, and Replace All
    then replaces exactly the matches the count reads; the save holds what the window shows."""
    body = "the cat\n" * 40000
    make_file(scrivlet, "f.txt", body.encode())
    start(scrivlet, row, "f.txt", expect=["f.txt"])
    scrivlet.wait(lambda: len(scrivlet.window("f.txt").text()) == len(body), "the file shown")
    scrivlet.open_find("f.txt", replace=True)
    _panel_focused(scrivlet)
    scrivlet.type("the")

    def count_reads(expected):
        scrivlet.wait(lambda: scrivlet.match_count() == f"Search results: 1 of {expected}",
                      f"{expected} matches", detail=scrivlet.match_count)

    count_reads(40000)
    scrivlet.keys_into("f.txt", "ctrl+Home")
    scrivlet.type("the ")
    count_reads(40001)
    scrivlet.key("BackSpace", "BackSpace")  # "th" is left, no match, and every later one moves back
    count_reads(40000)
    scrivlet.key("ctrl+End")
    scrivlet.type("then")
    count_reads(40001)
    expected = "th" + body + "then"
    assert scrivlet.window("f.txt").text() == expected
    scrivlet.click_field(scrivlet.find_panel(), "Replacement text")
    scrivlet.type("a")
    scrivlet.press(scrivlet.find_panel(), "Replace All")
    expected = expected.replace("the", "a")
    scrivlet.wait_for_text("f.txt", expected)
    scrivlet.wait(lambda: scrivlet.match_count() == "Search results: No matches", "no matches",
                  detail=scrivlet.match_count)
    scrivlet.save("f.txt")
    scrivlet.wait_saved("f.txt")
    assert read_bytes(scrivlet.path("f.txt")) == expected.encode()


def test_find_next_and_replace_one(scrivlet):
    original = "cat dog cat"
    make_file(scrivlet, "f.txt", original.encode())
    start(scrivlet, "defaults", "f.txt", expect=["f.txt"])
    scrivlet.wait_for_text("f.txt", original)
    scrivlet.open_find("f.txt", replace=True)
    _panel_focused(scrivlet)
    scrivlet.type("cat")
    scrivlet.wait(lambda: (scrivlet.match_count() or "").endswith("of 2"), "2 matches",
                  detail=scrivlet.match_count)
    scrivlet.click_field(scrivlet.find_panel(), "Replacement text")
    scrivlet.type("cow")
    scrivlet.press(scrivlet.find_panel(), "Replace")
    scrivlet.wait(lambda: scrivlet.window("f.txt").text() in ("cow dog cat", "cat dog cow"),
                  "one cat replaced", detail=lambda: scrivlet.window("f.txt").text())
    scrivlet.save("f.txt")
    scrivlet.wait_saved("f.txt")
    assert read_bytes(scrivlet.path("f.txt")) == scrivlet.window("f.txt").text().encode()


@pytest.mark.parametrize("how", ["new-file URL", "file manager command"])
def test_new_text_file_in_a_folder(scrivlet, how):
    folder = scrivlet.path("my folder")
    os.makedirs(folder)
    start(scrivlet, "defaults", expect=["Untitled"])
    if how == "new-file URL":
        result = scrivlet.xdg_open("scrivlet://new-file?path=" + folder.replace(" ", "%20"))
    else:
        result = scrivlet.new_file_in(folder)
    assert result.returncode == 0, result.stderr
    created = os.path.join(folder, "Untitled.txt")
    scrivlet.wait(lambda: os.path.exists(created), "Untitled.txt in the folder")
    assert read_bytes(created) == b""
    scrivlet.wait_for_text("Untitled.txt", "")
    scrivlet.type_into("Untitled.txt", "fresh")
    scrivlet.save("Untitled.txt")
    scrivlet.wait_saved("Untitled.txt")
    assert read_bytes(created) == b"fresh"
    assert sorted(os.listdir(folder)) == ["Untitled.txt"]


def test_status_bar_toggle_reaches_every_window(scrivlet):
    make_file(scrivlet, "a.txt", b"abc")
    start(scrivlet, "defaults", "a.txt", expect=["a.txt"])
    scrivlet.keys_into("a.txt", "ctrl+n")
    scrivlet.wait_for_window("Untitled")
    assert scrivlet.window("a.txt").status() == "3 characters, 1 word, 1 paragraph"
    scrivlet.keys_into("Untitled", "ctrl+slash")
    scrivlet.wait(lambda: all(w.status() is None for w in scrivlet.document_windows()),
                  "the status bar to hide in both windows")
    assert scrivlet.read_settings().get("showStatusBar") == "false"
    scrivlet.keys_into("a.txt", "ctrl+slash")
    scrivlet.wait(lambda: scrivlet.window("Untitled").status() == "0 characters, 0 words, "
                  "0 paragraphs", "the status bar to come back")


def test_line_numbers_setting_reaches_every_window(scrivlet):
    make_file(scrivlet, "a.txt", b"abc")
    start(scrivlet, "defaults", "a.txt", expect=["a.txt"])
    scrivlet.keys_into("a.txt", "ctrl+n")
    scrivlet.wait_for_window("Untitled")
    scrivlet.keys_into("a.txt", "ctrl+comma")
    settings = scrivlet.wait(lambda: next((w for w in scrivlet.windows()
                                           if w.title == "Scrivlet Settings"), None),
                             "the Settings window")
    box = scrivlet.wait(lambda: scrivlet.checkbox(settings, "Show Line Numbers"),
                        "the Show Line Numbers box")
    scrivlet._click(box)
    scrivlet.wait(lambda: scrivlet.read_settings().get("showLineNumbers") == "false",
                  "showLineNumbers=false in the settings file")
    for name in ("a.txt", "Untitled"):
        scrivlet.wait(lambda: scrivlet.menu_item_named(name, "Show Line Numbers"),
                      f"the View menu of {name} to offer Show Line Numbers")


@pytest.mark.parametrize("answer", ["yes", "no"])
def test_first_launch_question_about_the_default_editor(scrivlet, answer):
    choices = os.path.join(scrivlet.folders.config, "mimeapps.list")
    os.remove(choices)
    scrivlet.launch(answer_default_editor=answer, expect=["Untitled"])
    if answer == "yes":
        scrivlet.wait(lambda: os.path.exists(choices) and "text/plain=org.scrivlet.Scrivlet.desktop"
                      in open(choices).read(), "mimeapps.list to name Scrivlet for text/plain")
    else:
        scrivlet.settle(1)
        assert not os.path.exists(choices) or "org.scrivlet.Scrivlet" not in open(choices).read()
    assert scrivlet.read_settings().get("hasShownDefaultHandlerPrompt") == "true"
    scrivlet.quit()
    scrivlet.launch(expect=["Untitled"])  # asked once only
    scrivlet.settle(0.5)
    assert scrivlet.dialog(containing="Would you like to set Scrivlet") is None


def test_undo_past_a_save_marks_the_title_again(scrivlet):
    make_file(scrivlet, "a.txt", b"base")
    start(scrivlet, "defaults", "a.txt", expect=["a.txt"])
    scrivlet.wait_for_text("a.txt", "base")
    scrivlet.keys_into("a.txt", "ctrl+End")
    scrivlet.type(" more")
    scrivlet.save("a.txt")
    scrivlet.wait_saved("a.txt")
    scrivlet.keys_into("a.txt", "ctrl+z")
    scrivlet.wait(lambda: scrivlet.window("a.txt").text() != "base more", "the undo")
    assert scrivlet.window("a.txt").modified, "the text no longer matches the file"
    scrivlet.keys_into("a.txt", "ctrl+shift+z")
    scrivlet.wait_for_text("a.txt", "base more")
    assert not scrivlet.window("a.txt").modified


def test_typed_text_beyond_ascii_is_saved_as_utf8(scrivlet):
    start(scrivlet, "defaults", expect=["Untitled"])
    typed = "Grüße, café – 世界"
    scrivlet.type_checked("Untitled", typed)
    scrivlet.wait_for_text("Untitled", typed)
    scrivlet.save_as("Untitled", scrivlet.path("u.txt"))
    scrivlet.wait_for_window("u.txt")
    scrivlet.wait_saved("u.txt")
    assert read_bytes(scrivlet.path("u.txt")) == typed.encode("utf-8")


def _point_between(scrivlet, name, offset):
    """The screen point at the left edge of the character at offset, half-way down its row."""
    text = scrivlet.window(name).editor_widget().queryText()
    x, y, _, height = text.getCharacterExtents(offset, _pyatspi().DESKTOP_COORDS)
    return x, y + height // 2


@pytest.mark.parametrize("modifier,result", [
    (None, " two threeone\n"),
    ("ctrl", "one two threeone\n"),
])
def test_drag_the_selected_word(scrivlet, modifier, result):
    """A word selected by a double click and dragged to the end of the line moves there, or is
    copied there with Ctrl held; one undo puts the text back as it was."""
    data = b"one two three\n"
    make_file(scrivlet, "d.txt", data)
    start(scrivlet, "defaults", "d.txt", expect=["d.txt"])
    scrivlet.wait_for_text("d.txt", data.decode())
    scrivlet.focus_text("d.txt")
    x, y = _point_between(scrivlet, "d.txt", 1)
    end_x, end_y = _point_between(scrivlet, "d.txt", 13)
    scrivlet.xdotool("mousemove", "--sync", str(x), str(y))
    scrivlet.xdotool("click", "--repeat", "2", "--delay", "80", "1")
    scrivlet.settle(0.6)  # past the triple-click interval
    if modifier:
        scrivlet.xdotool("keydown", modifier)
    scrivlet.xdotool("mousedown", "1")
    for step in range(1, 9):
        scrivlet.xdotool("mousemove", "--sync", str(x + (end_x - x) * step // 8),
                         str(y + (end_y - y) * step // 8))
        scrivlet.settle(0.05)
    scrivlet.xdotool("mouseup", "1")
    if modifier:
        scrivlet.xdotool("keyup", modifier)
    scrivlet.wait_for_text("d.txt", result)
    scrivlet.keys_into("d.txt", "ctrl+z")
    scrivlet.wait_for_text("d.txt", data.decode())
