"""One journey per fault that using the editor from outside found: each failed before its fault
was mended and guards it since."""

import os
import signal
import subprocess
import time

import pytest

from driver import PATIENCE, read_bytes, saved_form, write_bytes
from test_journeys import SEEN, make_file, start


def test_fault_reopen_off_never_empties_a_file(scrivlet):
    original = b"line one\nline two\n"
    make_file(scrivlet, "a.txt", original)
    scrivlet.write_settings({**SEEN, "reopenDocumentsOnLaunch": False})
    scrivlet.launch("a.txt", expect=["a.txt"])
    scrivlet.wait_for_text("a.txt", "line one\nline two\n")
    scrivlet.quit()
    for _ in range(2):
        # The file asked for is shown with its text, every time.
        scrivlet.launch("a.txt", expect=["a.txt"])
        scrivlet.wait_for_text("a.txt", "line one\nline two\n")
        scrivlet.quit()
    scrivlet.launch("a.txt", expect=["a.txt"])
    scrivlet.wait_for_text("a.txt", "line one\nline two\n")
    scrivlet.type_into("a.txt", "x")
    scrivlet.save("a.txt")
    scrivlet.wait_saved("a.txt")
    saved = read_bytes(scrivlet.path("a.txt"))
    assert saved == saved_form(scrivlet.window("a.txt").text())
    assert b"line one\nline two" in saved


def test_fault_reopen_off_closes_a_restored_file_for_good(scrivlet):
    """The window closed by reopen-off while it loaded stayed registered: the next quit listed
    it, and the session after that brought back a file nobody had open."""
    make_file(scrivlet, "a.txt", b"alpha")
    scrivlet.write_settings(SEEN)
    scrivlet.launch("a.txt", expect=["a.txt"])
    scrivlet.quit()
    scrivlet.update_settings({"reopenDocumentsOnLaunch": False})
    scrivlet.launch()
    scrivlet.settle(1)
    assert scrivlet.titles() == ["Untitled"]
    scrivlet.quit()
    scrivlet.update_settings({"reopenDocumentsOnLaunch": True})
    scrivlet.launch()
    scrivlet.settle(1)
    assert scrivlet.titles() == ["Untitled"]


def test_fault_cursor_starts_at_the_beginning(scrivlet):
    make_file(scrivlet, "a.txt", b"line one\nline two\n")
    start(scrivlet, "defaults", "a.txt", expect=["a.txt"])
    scrivlet.wait_for_text("a.txt", "line one\nline two\n")
    assert scrivlet.window("a.txt").caret() == 0
    scrivlet.type_into("a.txt", "X")
    scrivlet.wait_for_text("a.txt", "Xline one\nline two\n")


@pytest.mark.parametrize("how", ["command line", "file manager command"])
def test_fault_empty_file_opens_unmodified(scrivlet, how):
    start(scrivlet, "defaults", expect=["Untitled"])
    if how == "command line":
        path = make_file(scrivlet, "e.txt", b"")
        scrivlet.start(path).wait(timeout=60)
    else:
        os.makedirs(scrivlet.path("folder"))
        assert scrivlet.new_file_in(scrivlet.path("folder")).returncode == 0
        path = os.path.join(scrivlet.path("folder"), "Untitled.txt")
    name = os.path.basename(path)
    scrivlet.wait_for_text(name, "")
    scrivlet.settle(0.5)
    assert scrivlet.window(name).title == name, "nothing was edited"
    scrivlet.type_into(name, "a")
    scrivlet.wait(lambda: scrivlet.window(name).modified, "the edit to mark the title")
    scrivlet.close(name, "cancel")  # an edited empty file asks before it closes
    assert scrivlet.window(name).text() == "a"


# (bytes on disk, bytes after "X" is typed at the start and the file saved)
FINAL_LINE_FEEDS = {
    "lf": (b"a\n", b"Xa\n"),
    "two_lines": (b"a\nb\n", b"Xa\nb\n"),
    "blank_line_at_end": (b"a\n\n", b"Xa\n\n"),
    "crlf": (b"a\r\nb\r\n", b"Xa\nb\n"),
    "lone_cr": (b"a\rb\r", b"Xa\nb\n"),
    "none": (b"a", b"Xa"),
}


@pytest.mark.parametrize("content", FINAL_LINE_FEEDS)
def test_fault_save_keeps_the_final_line_feed(scrivlet, content):
    data, expected = FINAL_LINE_FEEDS[content]
    make_file(scrivlet, "a.txt", data)
    start(scrivlet, "defaults", "a.txt", expect=["a.txt"])
    scrivlet.wait_for_text("a.txt", data.replace(b"\r\n", b"\n").replace(b"\r", b"\n").decode())
    scrivlet.keys_into("a.txt", "ctrl+Home")
    scrivlet.type("X")
    scrivlet.save("a.txt")
    scrivlet.wait_saved("a.txt")
    assert read_bytes(scrivlet.path("a.txt")) == expected


def test_fault_kill_soon_after_typing_brings_back_no_empty_window(scrivlet):
    start(scrivlet, "defaults", expect=["Untitled"])
    scrivlet.type_into("Untitled", "x")
    scrivlet.wait_for_text("Untitled", "x")
    time.sleep(0.3)
    scrivlet.kill()
    for _ in range(2):
        scrivlet.launch()
        scrivlet.settle(1)
        windows = scrivlet.document_windows()
        empty_but_modified = [w.title for w in windows if w.modified and w.text() == ""]
        assert not empty_but_modified, "a recovered draft without text came back"
        assert all(w.text() in ("", "x") for w in windows)
        scrivlet.quit()


def _large_file(scrivlet):
    """About 30 MB of short lines with "needle" on the first and on the last line; returns its
    path and its length in characters."""
    path = scrivlet.path("large.txt")
    line = b"lorem ipsum dolor sit amet\n"
    lines = line * (30_000_000 // len(line))
    with open(path, "wb") as handle:
        handle.write(b"needle\n" + lines + b"needle\n")
    return path, len(lines) + 14


def test_fault_search_shows_progress_and_acts_on_return(scrivlet):
    """Return pressed while the search runs is Find Next once the matches are in: the search
    starts on the first needle and Return moves to the second."""
    path, length = _large_file(scrivlet)
    start(scrivlet, "defaults", path, expect=["large.txt"])
    loaded = f"{length} characters"
    scrivlet.wait(lambda: (scrivlet.window("large.txt").status() or "").startswith(loaded),
                  "the whole file to load", timeout=PATIENCE * 4,
                  detail=lambda: scrivlet.window("large.txt").status())
    scrivlet.open_find("large.txt")
    panel = scrivlet.focus(scrivlet.find_panel())
    scrivlet.click_field(panel, "Search text")
    scrivlet.type("needle")
    scrivlet.key("Return")
    seen = []

    def settled():
        label = scrivlet.match_count()
        if label and (not seen or seen[-1] != label):
            seen.append(label)
        return label in ("Search results: 1 of 2", "Search results: 2 of 2")
    scrivlet.wait(settled, "the search to end with 2 matches", timeout=PATIENCE * 4,
                  detail=lambda: seen)
    assert "Search results: No matches" not in seen, f"the panel said so while searching: {seen}"
    scrivlet.settle(0.5)
    assert scrivlet.match_count() == "Search results: 2 of 2", f"Return was lost: {seen}"


def test_fault_removing_an_extension_keeps_focus_and_reset_asks(scrivlet):
    scrivlet.write_settings({**SEEN, "fontSize": 20, "fileExtensions": ["md", "text", "txt"]})
    scrivlet.launch(expect=["Untitled"])
    scrivlet.keys_into("Untitled", "ctrl+comma")
    settings = scrivlet.focus(scrivlet.wait(
        lambda: next((w for w in scrivlet.windows() if w.title == "Scrivlet Settings"), None),
        "the Settings window"))
    item = scrivlet.wait(lambda: scrivlet.list_item(settings, ".md"), "the .md row")
    scrivlet._click(item)
    for _ in range(6):
        if scrivlet.focused_name() == "Remove file extension":
            break
        scrivlet.key("Tab")
    assert scrivlet.focused_name() == "Remove file extension"
    scrivlet.key("space")
    scrivlet.wait(lambda: scrivlet.list_item(settings, ".md") is None, ".md to be removed")
    assert scrivlet.focused_name() != "Reset to Defaults"
    scrivlet.key("space")
    scrivlet.settle(1)
    if scrivlet.dialog(title="Scrivlet") is not None or scrivlet.dialogs():
        scrivlet.key("Escape")  # a question before resetting: not now
    scrivlet.settle(0.5)
    stored = scrivlet.read_settings()
    assert stored.get("fontSize") == "20"
    assert stored.get("fileExtensions") == "text, txt"


def test_fault_unreadable_settings_file_is_kept(scrivlet):
    garbage = b"\x00\xff\xfe[General\n=\x01\x02 not settings \xc3\x28\n"
    os.makedirs(os.path.dirname(scrivlet.settings_path), exist_ok=True)
    write_bytes(scrivlet.settings_path, garbage)
    scrivlet.launch(answer_default_editor="no", expect=["Untitled"])
    folder = os.path.dirname(scrivlet.settings_path)
    kept = [name for name in os.listdir(folder) if name.startswith("scrivlet.conf")
            and name != "scrivlet.conf"
            and read_bytes(os.path.join(folder, name)) == garbage]
    assert kept, f"the unreadable bytes are gone: {os.listdir(folder)}"


@pytest.mark.parametrize("size", ["0", "-5", "100000"])
def test_fault_font_size_out_of_range_is_clamped(scrivlet, size):
    scrivlet.write_settings({**SEEN, "fontSize": size})
    scrivlet.launch(expect=["Untitled"])
    scrivlet.keys_into("Untitled", "ctrl+comma")
    settings = scrivlet.wait(
        lambda: next((w for w in scrivlet.windows() if w.title == "Scrivlet Settings"), None),
        "the Settings window")
    shown = scrivlet.wait(lambda: scrivlet.field_text(settings, "Font size"), "the font size")
    assert 8 <= int(shown) <= 72, f"fontSize={size} shows as {shown}"


@pytest.mark.parametrize("window,keys", [
    ("Scrivlet Settings", "ctrl+n"), ("Scrivlet Settings", "ctrl+q"),
    ("Scrivlet Help", "ctrl+n"), ("Scrivlet Help", "ctrl+q"),
])
def test_fault_new_and_quit_work_from_settings_and_help(scrivlet, window, keys):
    start(scrivlet, "defaults", expect=["Untitled"])
    pid = scrivlet.editor_pid()
    scrivlet.keys_into("Untitled", "ctrl+comma" if window == "Scrivlet Settings" else "F1")
    shown = scrivlet.wait(lambda: next((w for w in scrivlet.windows() if w.title == window),
                                       None), f"the {window} window")
    scrivlet.focus(shown)
    scrivlet.key(keys)
    if keys == "ctrl+n":
        scrivlet.wait_for_window("Untitled 2")
    else:
        scrivlet.wait_for_exit(pid)


def test_fault_command_line_errors_need_no_display(scrivlet):
    env = scrivlet.env()
    for name in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"):
        env.pop(name, None)
    result = subprocess.run([scrivlet.program, "--bogus"], env=env, capture_output=True,
                            text=True, timeout=60)
    assert result.returncode == 2, (result.returncode, result.stderr)
    assert result.stderr.strip()


def test_fault_finder_sync_help_is_not_a_folder(scrivlet):
    result = scrivlet.run_tool(scrivlet.finder_sync, "--help")
    assert result.returncode == 0, (result.returncode, result.stderr)
    assert "scrivlet-finder-sync" in result.stdout
    scrivlet.settle(1.5)
    assert scrivlet.editor_pid() is None, "the editor was started"
    assert not os.path.exists(scrivlet.path("--help"))


@pytest.mark.parametrize("when", ["at launch", "while running"])
def test_fault_sigterm_with_an_alert_open_keeps_text_and_exits(scrivlet, when):
    unreadable = make_file(scrivlet, "secret.txt", b"not for you")
    os.chmod(unreadable, 0o000)
    start(scrivlet, "defaults", expect=["Untitled"])
    scrivlet.type_into("Untitled", "keep me")
    scrivlet.wait_for_text("Untitled", "keep me")
    if when == "at launch":
        time.sleep(2.5)
        scrivlet.kill()
        scrivlet.start(unreadable)
    else:
        scrivlet.start(unreadable).wait(timeout=60)
    scrivlet.wait_for_dialog(containing="could not be opened")
    pid = scrivlet.editor_pid()
    os.kill(pid, signal.SIGTERM)
    scrivlet.wait_for_exit(pid)
    scrivlet.launch()
    scrivlet.wait_for_text("Untitled", "keep me")


@pytest.mark.parametrize("stored", ["fileExtensions=", "fileExtensions=@Invalid()"])
def test_fault_unreadable_extension_list_reads_as_defaults(scrivlet, stored):
    os.makedirs(os.path.dirname(scrivlet.settings_path), exist_ok=True)
    with open(scrivlet.settings_path, "w") as settings:
        settings.write(f"[General]\nhasShownDefaultHandlerPrompt=true\n{stored}\n")
    scrivlet.launch(expect=["Untitled"])
    scrivlet.keys_into("Untitled", "ctrl+comma")
    settings = scrivlet.wait(
        lambda: next((w for w in scrivlet.windows() if w.title == "Scrivlet Settings"), None),
        "the Settings window")
    scrivlet.wait(lambda: scrivlet.list_items(settings, "Default file types") == [".text", ".txt"],
                  "the default extensions", detail=lambda: scrivlet.list_items(
                      settings, "Default file types"))


def test_fault_unreadable_open_after_create_reads_as_on(scrivlet):
    store = os.path.join(scrivlet.folders.config, "scrivlet", "group.org.scrivlet.Scrivlet.conf")
    os.makedirs(os.path.dirname(store), exist_ok=True)
    with open(store, "w") as handle:
        handle.write("[General]\nFinderSyncOpenAfterCreate=maybe\n")
    start(scrivlet, "defaults", expect=["Untitled"])
    scrivlet.keys_into("Untitled", "ctrl+comma")
    settings = scrivlet.wait(
        lambda: next((w for w in scrivlet.windows() if w.title == "Scrivlet Settings"), None),
        "the Settings window")
    box = scrivlet.wait(lambda: scrivlet.checkbox(settings, "Open file in Scrivlet after creation"),
                        "the open-after-create box")
    assert scrivlet.is_checked(box)


# The first window without a file (no wait for an Open panel) is a speed figure, so it is measured
# by bench/first-window, not asserted here.


# Found by these journeys beyond the list.


def test_fault_find_panel_takes_the_keyboard(scrivlet):
    """Under a window manager the panel opened behind the document and the search term typed
    went into the document."""
    scrivlet.xdotool("mousemove", "0", "0")  # the pointer over no window of the editor
    make_file(scrivlet, "f.txt", b"one two one")
    start(scrivlet, "defaults", "f.txt", expect=["f.txt"])
    scrivlet.wait_for_text("f.txt", "one two one")
    for keys in ("ctrl+f", "ctrl+alt+f"):
        scrivlet.keys_into("f.txt", keys)
        panel = scrivlet.wait(scrivlet.find_panel, "the find panel")
        scrivlet.wait(lambda: scrivlet.x_window_for(panel.title) is not None
                      and scrivlet.xdotool("getactivewindow", check=False).strip()
                      == scrivlet.x_window_for(panel.title), "the panel to be the active window")
        scrivlet.key("ctrl+a")
        scrivlet.type("two")
        scrivlet.wait(lambda: scrivlet.match_count() == "Search results: 1 of 1", "1 match",
                      detail=scrivlet.match_count)
        assert scrivlet.window("f.txt").text() == "one two one"
        scrivlet.key("Escape")


@pytest.mark.parametrize("typed,how", [
    ("\nabc", "quit"), ("x\n\nabc", "quit"), ("\nabc", "kill"),
])
def test_fault_return_on_an_empty_last_line_survives_in_the_draft(scrivlet, typed, how):
    """Return typed on an empty last line was journaled as a step recovery could not replay:
    the text from there on came back empty."""
    start(scrivlet, "defaults", expect=["Untitled"])
    scrivlet.type_into("Untitled", typed)
    scrivlet.wait_for_text("Untitled", typed)
    if how == "quit":
        scrivlet.quit()
    else:
        time.sleep(2.5)
        scrivlet.kill()
    scrivlet.launch()
    scrivlet.wait_for_text("Untitled", typed)


def test_fault_settings_speak_linux_words(scrivlet):
    start(scrivlet, "defaults", expect=["Untitled"])
    scrivlet.keys_into("Untitled", "ctrl+comma")
    settings = scrivlet.wait(
        lambda: next((w for w in scrivlet.windows() if w.title == "Scrivlet Settings"), None),
        "the Settings window")
    scrivlet.settle(0.5)
    texts = scrivlet.find_window_like(settings).label_texts()
    assert not [text for text in texts if "macOS" in text or "Mac " in text], texts
