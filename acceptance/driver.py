"""The editor as a person meets it: started from a command line, file manager or xdg-open,
used through keys (xdotool) and read back through what a screen reader reads (AT-SPI).

pyatspi binds to the session bus named in the environment when it is first used, so the
desktop's DISPLAY and DBUS_SESSION_BUS_ADDRESS must be in os.environ before this module's
functions run (conftest.py sees to that).
"""

import os
import re
import signal
import subprocess
import time

from desktop import poll

APP_ID = "org.scrivlet.Scrivlet"
# How long any single thing a person waits for may take before the test gives up. Generous:
# the machine is shared and slow; no test asserts on time.
PATIENCE = float(os.environ.get("SCRIVLET_ACCEPTANCE_PATIENCE", "30"))
# Run as root (a container), the editor would write where a user cannot; without these
# capabilities file permissions bind it as they bind everyone.
AS_USER = (["setpriv", "--bounding-set=-dac_override,-dac_read_search,-fowner", "--"]
           if os.geteuid() == 0 else [])
CLOSE_PROMPT = "Do you want to save the changes made to this document?"
# The accessible name of a document window's text: Settings and Help are windows ("frame") with
# text fields too, but no document.
DOCUMENT_TEXT = "Document text editor"


class ActionFailed(AssertionError):
    pass


def _pyatspi():
    import pyatspi  # noqa: deferred until the desktop's bus is in the environment
    return pyatspi


def _safe(call, default=None):
    try:
        return call()
    except Exception:
        return default


def role_name(accessible):
    return _safe(accessible.getRoleName, "?")


def states_of(accessible):
    pyatspi = _pyatspi()
    state_set = _safe(accessible.getState)
    if state_set is None:
        return set()
    return {state for state in (pyatspi.STATE_ACTIVE, pyatspi.STATE_FOCUSED,
                                pyatspi.STATE_SHOWING, pyatspi.STATE_VISIBLE,
                                pyatspi.STATE_EDITABLE, pyatspi.STATE_MODAL,
                                pyatspi.STATE_CHECKED, pyatspi.STATE_FOCUSABLE)
            if state_set.contains(state)}


def children(accessible):
    count = _safe(lambda: accessible.childCount, 0) or 0
    result = []
    for index in range(count):
        child = _safe(lambda: accessible.getChildAtIndex(index))
        if child is not None:
            result.append(child)
    return result


def descendants(accessible, skip_roles=("menu bar", "menu")):
    """Breadth first, leaving out menus (hundreds of items nobody needs here)."""
    queue = [accessible]
    while queue:
        node = queue.pop(0)
        for child in children(node):
            yield child
            if role_name(child) not in skip_roles:
                queue.append(child)


def dump_tree(accessible, depth=0, limit=12, out=None):
    out = [] if out is None else out
    if depth > limit or len(out) > 3000:
        return out
    name = _safe(lambda: accessible.name, "")
    description = _safe(lambda: accessible.description, "")
    pyatspi = _pyatspi()
    text = ""
    if role_name(accessible) in ("text", "entry", "password text"):
        text = _safe(lambda: accessible.queryText().getText(0, 200), "")
    states = sorted(pyatspi.stateToString(s) if hasattr(pyatspi, "stateToString") else str(s)
                    for s in states_of(accessible))
    out.append("  " * depth + f"[{role_name(accessible)}] {name!r} {description!r} "
               f"{states} {text!r}")
    if role_name(accessible) not in ("menu",):
        for child in children(accessible):
            dump_tree(child, depth + 1, limit, out)
    return out


def title_matches(title, name):
    """A window's title is its name, with "*" after it while the text has unsaved changes."""
    return title == name or title == name + "*"


class Window:
    """A top-level window of the editor as AT-SPI sees it (a document, a dialog, a panel)."""

    def __init__(self, editor, accessible):
        self.editor = editor
        self.accessible = accessible

    @property
    def title(self):
        return _safe(lambda: self.accessible.name, "") or ""

    @property
    def name(self):
        return self.title[:-1] if self.title.endswith("*") else self.title

    @property
    def modified(self):
        return self.title.endswith("*")

    @property
    def role(self):
        return role_name(self.accessible)

    def __repr__(self):
        return f"<{self.role} {self.title!r}>"

    def is_active(self):
        return _pyatspi().STATE_ACTIVE in states_of(self.accessible)

    def editor_widget(self):
        for node in descendants(self.accessible):
            if role_name(node) == "text" and _pyatspi().STATE_EDITABLE in states_of(node):
                return node
        for node in descendants(self.accessible):
            if role_name(node) == "text":
                return node
        return None

    def has_document(self):
        return any(role_name(node) == "text" and _safe(lambda: node.name) == DOCUMENT_TEXT
                   for node in descendants(self.accessible))

    def text(self):
        widget = self.editor_widget()
        if widget is None:
            return None
        text_interface = widget.queryText()
        return text_interface.getText(0, text_interface.characterCount)

    def caret(self):
        widget = self.editor_widget()
        return None if widget is None else widget.queryText().caretOffset

    def labels(self):
        return [node for node in descendants(self.accessible) if role_name(node) == "label"]

    def label_texts(self):
        texts = []
        for node in self.labels():
            texts.append(_safe(lambda: node.name, "") or "")
            texts.append(_safe(lambda: node.description, "") or "")
        return [text for text in texts if text]

    def status(self):
        """The status bar's counts, or None while it is hidden."""
        for node in self.labels():
            if _safe(lambda: node.name) == "Document statistics":
                if _pyatspi().STATE_SHOWING not in states_of(node):
                    return None
                return _safe(lambda: node.description) or None
        return None

    def buttons(self):
        return {(_safe(lambda: node.name, "") or ""): node for node in descendants(self.accessible)
                if role_name(node) == "push button"}

    def x_window(self):
        return self.editor.x_window_for(self.title)


class Scrivlet:
    """Starts the editor of one build in a test's folders and acts on it as a person would."""

    def __init__(self, build_dir, folders, desktop, artefacts):
        self.build_dir = os.path.abspath(build_dir)
        self.program = os.path.join(self.build_dir, "editor", "scrivlet")
        self.finder_sync = os.path.join(self.build_dir, "editor", "scrivlet-finder-sync")
        self.folders = folders
        self.desktop = desktop
        self.artefacts = artefacts
        self.processes = {}
        self.log_count = 0
        self.settings_path = os.path.join(folders.config, "scrivlet", "scrivlet.conf")
        self.install_desktop_entry()

    # ---- setup -------------------------------------------------------------------------------

    def install_desktop_entry(self):
        """What a package installs, pointing at this build: xdg-open, gio open and the
        file-manager command find the editor through it."""
        applications = os.path.join(self.folders.data, "applications")
        os.makedirs(applications, exist_ok=True)
        with open(os.path.join(applications, APP_ID + ".desktop"), "w") as entry:
            entry.write("[Desktop Entry]\nType=Application\nName=Scrivlet\n"
                        f"Exec={self.program} %U\nTerminal=false\nDBusActivatable=true\n"
                        "MimeType=text/plain;x-scheme-handler/scrivlet;\n")
        with open(os.path.join(self.folders.config, "mimeapps.list"), "w") as choices:
            choices.write("[Default Applications]\n"
                          f"text/plain={APP_ID}.desktop\n"
                          f"x-scheme-handler/scrivlet={APP_ID}.desktop\n")

    def write_settings(self, values):
        """The settings file as the editor's INI store writes it; True/False become true/false,
        lists are comma-separated."""
        os.makedirs(os.path.dirname(self.settings_path), mode=0o700, exist_ok=True)
        lines = ["[General]"]
        for key, value in values.items():
            if isinstance(value, bool):
                value = "true" if value else "false"
            elif isinstance(value, (list, tuple)):
                value = ", ".join(value)
            lines.append(f"{key}={value}")
        with open(self.settings_path, "w") as settings:
            settings.write("\n".join(lines) + "\n")

    def update_settings(self, values):
        current = self.read_settings()
        current.update(values)
        self.write_settings(current)

    def read_settings(self):
        values = {}
        if not os.path.exists(self.settings_path):
            return values
        with open(self.settings_path, errors="replace") as settings:
            for line in settings:
                if "=" in line and not line.startswith("["):
                    key, value = line.rstrip("\n").split("=", 1)
                    values[key] = value
        return values

    def path(self, name):
        return os.path.join(self.folders.files, name)

    # ---- processes ---------------------------------------------------------------------------

    def _log_file(self, name):
        self.log_count += 1
        return open(os.path.join(self.artefacts, f"{self.log_count:02d}-{name}.log"), "wb")

    def env(self, extra=None):
        return self.folders.env(extra)

    def start(self, *args, settings=None, program=None, cwd=None, env=None):
        """Starts the editor (or a second one, which hands its arguments to the first) and
        returns the process; waits for nothing. env: variables added to the user's."""
        if settings is not None:
            self.update_settings(settings)
        with self._log_file("editor") as log:
            process = subprocess.Popen([*AS_USER, program or self.program, *args],
                                       env=self.env(env), cwd=cwd or self.folders.files,
                                       stdout=log, stderr=subprocess.STDOUT,
                                       stdin=subprocess.DEVNULL)
        self.processes[process.pid] = process
        return process

    def launch(self, *args, settings=None, answer_default_editor=None, expect=None, env=None):
        """Starts the editor like a person does and waits until it shows a window (expect: the
        title names that must appear). A first launch asks whether Scrivlet should be the
        default editor; answer_default_editor is "yes"/"no" for it."""
        self.wait_until_gone()
        process = self.start(*args, settings=settings, env=env)
        if answer_default_editor:
            self.answer_default_editor_question(answer_default_editor)
        if expect:
            for name in expect:
                self.wait_for_window(name)
        else:
            self.wait(lambda: self.document_windows(), "any document window")
        self.settle()
        return process

    def settle(self, seconds=0.3):
        """Lets queued events run (a short pause: nothing here waits on a fixed time for a
        result)."""
        time.sleep(seconds)

    def editor_pid(self):
        reply = subprocess.run(
            ["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
             "/org/freedesktop/DBus", "org.freedesktop.DBus.GetConnectionUnixProcessID",
             "string:" + APP_ID], env=self.env(), capture_output=True, text=True)
        match = re.search(r"uint32 (\d+)", reply.stdout)
        if match:
            return int(match.group(1))
        # Without the bus name the editor runs alone; the last process started may be it.
        for pid, process in reversed(list(self.processes.items())):
            if process.poll() is None and self.program in process.args:
                return pid
        return None

    def is_alive(self, pid):
        process = self.processes.get(pid)
        if process is not None:
            return process.poll() is None
        try:
            os.kill(pid, 0)
        except ProcessLookupError:
            return False
        with open(f"/proc/{pid}/stat") as stat:
            return stat.read().split(") ")[-1][0] != "Z"

    def wait_for_exit(self, pid, timeout=PATIENCE):
        if not poll(lambda: not self.is_alive(pid), timeout):
            self.fail(f"the editor (pid {pid}) did not end")
        process = self.processes.get(pid)
        return process.returncode if process is not None else None

    def wait_until_gone(self):
        """No editor owns the bus name (a killed one releases it when its connection drops)."""
        if not poll(lambda: self.editor_pid() is None or not self.is_alive(self.editor_pid()),
                    PATIENCE):
            self.fail("an editor is still running")

    def kill(self, sig=signal.SIGKILL):
        pid = self.editor_pid()
        if pid is None:
            self.fail("no editor runs to be killed")
        os.kill(pid, sig)
        if sig == signal.SIGKILL:
            self.wait_for_exit(pid)
            self.wait_until_gone()
        return pid

    def terminate(self):
        """SIGTERM, as logout or shutdown sends; returns the exit status once it has ended."""
        pid = self.kill(signal.SIGTERM)
        return self.wait_for_exit(pid)

    def stop_everything(self):
        """Ends every editor this test started (and the one owning the name), by pid."""
        pids = set(pid for pid, process in self.processes.items() if process.poll() is None)
        owner = self.editor_pid()
        if owner:
            pids.add(owner)
        for pid in pids:
            try:
                os.kill(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
        for process in self.processes.values():
            try:
                process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                pass
        poll(lambda: self.editor_pid() is None, 10)

    # ---- what AT-SPI shows -------------------------------------------------------------------

    def application(self):
        pid = self.editor_pid()
        if pid is None or not self.is_alive(pid):
            return None
        desktop = _pyatspi().Registry.getDesktop(0)
        for app in children(desktop):
            if _safe(app.get_process_id) == pid:
                return app
        return None

    def windows(self):
        app = self.application()
        if app is None:
            return []
        pyatspi = _pyatspi()
        result = []
        for child in children(app):
            if pyatspi.STATE_VISIBLE in states_of(child) or pyatspi.STATE_SHOWING in states_of(child):
                result.append(Window(self, child))
        return result

    def document_windows(self):
        return [window for window in self.windows() if window.role == "frame"
                and window.has_document()]

    def titles(self):
        return sorted(window.title for window in self.document_windows())

    def window(self, name):
        for window in self.document_windows():
            if title_matches(window.title, name):
                return window
        return None

    def wait_for_window(self, name, timeout=PATIENCE):
        return self.wait(lambda: self.window(name), f"a window titled {name!r}", timeout)

    def wait_for_titles(self, names, timeout=PATIENCE):
        wanted = sorted(names)
        return self.wait(lambda: sorted(w.name for w in self.document_windows()) == wanted
                         and self.document_windows(), f"exactly the windows {wanted}", timeout)

    def dialogs(self):
        return [window for window in self.windows() if window.role in ("dialog", "alert")
                or (window.role == "frame" and window.editor_widget() is None
                    and window.title in ("Scrivlet", "Open", "Save As"))]

    def dialog(self, title=None, containing=None):
        for window in self.dialogs():
            if title is not None and window.title != title:
                continue
            if containing is not None and not any(containing in text
                                                  for text in window.label_texts()):
                continue
            return window
        return None

    def wait_for_dialog(self, title=None, containing=None, timeout=PATIENCE):
        return self.wait(lambda: self.dialog(title, containing),
                         f"a dialog {title or ''} {containing or ''}".strip(), timeout)

    def wait_for_text(self, name, expected, timeout=PATIENCE):
        window = self.wait_for_window(name)
        return self.wait(lambda: (self.window(name) or window).text() == expected,
                         f"window {name!r} to show {expected!r}", timeout,
                         detail=lambda: f"it shows {_safe((self.window(name) or window).text)!r}")

    # ---- waiting and failing -----------------------------------------------------------------

    def wait(self, condition, what, timeout=PATIENCE, detail=None):
        result = poll(lambda: _safe(condition), timeout)
        if not result:
            extra = ""
            if detail:
                extra = "; " + str(_safe(detail, ""))
            self.fail(f"waited {timeout:.0f} s for {what}{extra}")
        return result

    def fail(self, message):
        raise ActionFailed(message + "\n" + self.evidence())

    def evidence(self):
        """An AT-SPI dump of the editor and a screenshot, saved in the test's folder."""
        self.log_count += 1
        shot = os.path.join(self.artefacts, f"{self.log_count:02d}-screen.png")
        self.desktop.screenshot(shot)
        tree_path = os.path.join(self.artefacts, f"{self.log_count:02d}-accessibility.txt")
        app = _safe(self.application)
        with open(tree_path, "w") as tree:
            tree.write("\n".join(dump_tree(app)) if app is not None else "no editor on the bus")
        return (f"  windows: {[w for w in _safe(self.windows, [])]}\n"
                f"  screenshot: {shot}\n  accessibility tree: {tree_path}\n"
                f"  editor output: {self.artefacts}")

    # ---- keys --------------------------------------------------------------------------------

    def xdotool(self, *args, check=True):
        result = subprocess.run(["xdotool", *args], env=self.env(), capture_output=True,
                                text=True, timeout=60)
        if check and result.returncode != 0:
            self.fail(f"xdotool {' '.join(args)} failed: {result.stderr.strip()}")
        return result.stdout

    def x_window_for(self, title):
        pid = self.editor_pid()
        if pid is None:
            return None
        pattern = "^" + re.escape(title) + "$"
        found = self.xdotool("search", "--all", "--onlyvisible", "--pid", str(pid), "--name",
                             pattern, check=False).split()
        return found[-1] if found else None

    def focus(self, window):
        """Brings a window to the front through the window manager and waits until the editor
        says it is the active one."""
        title = window.title

        def active():
            current = self.find_window_like(window)
            if current is None:
                return None
            x_window = current.x_window()
            # Both must agree: the editor may believe a window active that the window manager
            # kept in the background.
            if x_window and self.xdotool("getactivewindow", check=False).strip() == x_window \
                    and current.is_active():
                return current
            if x_window:
                self.xdotool("windowactivate", "--sync", x_window, check=False)
            return None
        return self.wait(active, f"window {title!r} to become active")

    def find_window_like(self, window):
        for candidate in self.windows():
            if candidate.accessible == window.accessible:
                return candidate
        for candidate in self.windows():
            if candidate.name == window.name and candidate.role == window.role:
                return candidate
        return None

    def focus_text(self, name):
        """The window titled name is active and its text has the keyboard focus."""
        window = self.focus(self.wait_for_window(name))
        widget = window.editor_widget()
        if _pyatspi().STATE_FOCUSED not in states_of(widget):
            _safe(lambda: widget.queryComponent().grabFocus())
            self.wait(lambda: _pyatspi().STATE_FOCUSED in states_of(widget),
                      f"the text of {name!r} to have the keyboard focus")
        return window

    def key(self, *keys):
        self.xdotool("key", "--clearmodifiers", "--delay", "30", *keys)

    def type(self, text):
        """Types text where the keyboard focus is; newlines are Return. A character beyond
        ASCII goes alone: xdotool maps it to a spare key first, which fast typing outruns."""
        for index, line in enumerate(text.split("\n")):
            if index:
                self.key("Return")
            for run in re.findall(r"[\x20-\x7e]+|[^\x20-\x7e]", line):
                if run.isascii():
                    self.xdotool("type", "--clearmodifiers", "--delay", "12", "--", run)
                else:
                    self.xdotool("type", "--clearmodifiers", "--delay", "80", "--", run)
                    self.settle(0.1)

    def type_checked(self, name, text):
        """Types at the end of the window titled name, each character beyond ASCII again if
        it was lost (the X server's spare key was remapped under the editor's feet)."""
        self.focus_text(name)
        self.key("ctrl+End")
        expected = self.window(name).text()
        for run in re.findall(r"[^\n]+|\n", text):
            pieces = [run] if run.isascii() else list(run)
            for piece in pieces:
                for _ in range(3):
                    self.type(piece)
                    if poll(lambda: _safe(self.window(name).text) == expected + piece, 3):
                        break
                expected += piece
        return self.wait_for_text(name, expected)

    def type_into(self, name, text):
        self.focus_text(name)
        self.type(text)

    def keys_into(self, name, *keys):
        self.focus_text(name)
        self.key(*keys)

    # ---- menu commands -----------------------------------------------------------------------

    def save(self, name):
        self.keys_into(name, "ctrl+s")

    def wait_saved(self, name):
        return self.wait(lambda: (w := self.window(name)) is not None and not w.modified,
                         f"{name!r} to show no unsaved changes")

    def close(self, name, answer=None):
        """Ctrl+W; answer ("save", "dont_save", "cancel") the question if it comes."""
        self.keys_into(name, "ctrl+w")
        if answer is not None:
            self.answer_close_prompt(answer)

    def answer_close_prompt(self, answer):
        prompt = self.wait_for_dialog(containing=CLOSE_PROMPT)
        prompt = self.focus(prompt)
        self.key({"save": "Return", "cancel": "Escape", "dont_save": "ctrl+d"}[answer])
        self.wait(lambda: self.dialog(containing=CLOSE_PROMPT) is None,
                  "the close question to go away")

    def answer_default_editor_question(self, answer):
        question = self.wait_for_dialog(containing="Would you like to set Scrivlet")
        self.focus(question)
        self.key("Return" if answer == "yes" else "Escape")
        self.wait(lambda: self.dialog(containing="Would you like to set Scrivlet") is None,
                  "the default-editor question to go away")

    def quit(self, via=None):
        """Ctrl+Q in a document window; waits for the program to end and returns its status."""
        pid = self.editor_pid()
        windows = self.document_windows()
        target = via or (windows[0].name if windows else None)
        if target is None:
            self.fail("no window to quit from")
        self.keys_into(target, "ctrl+q")
        return self.wait_for_exit(pid)

    def _file_dialog(self, title, path):
        dialog = self.focus(self.wait_for_dialog(title=title))
        self.settle(0.2)
        self.key("ctrl+a")
        self.type(path)
        self.key("Return")
        return dialog

    def open_with_dialog(self, from_window, path):
        self.keys_into(from_window, "ctrl+o")
        self._file_dialog("Open", path)
        self.wait(lambda: self.dialog(title="Open") is None, "the Open dialog to close")

    def save_as(self, name, path, replace=None):
        self.keys_into(name, "ctrl+shift+s")
        self._file_dialog("Save As", path)
        if replace is not None:
            question = self.wait_for_dialog(containing="already exists")
            self.focus(question)
            self.key("alt+y" if replace else "alt+n")
        self.wait(lambda: self.dialog(title="Save As") is None, "the Save As dialog to close")

    def open_recent(self, from_window, file_name):
        """File > Open Recent > file_name, with the keyboard to open the menu and the mouse to
        pick the item, as a person does."""
        window = self.focus_text(from_window)
        self.key("alt+f")
        recent = self.wait(lambda: self._menu_item(window, "Open Recent"), "the File menu")
        self._click(recent)
        item = self.wait(lambda: self._menu_item(window, file_name, inside="Open Recent"),
                         f"{file_name!r} in Open Recent")
        self._click(item)

    def _menu_item(self, window, name, inside=None):
        app = self.application()
        for node in descendants(app, skip_roles=()):
            if role_name(node) in ("menu item", "menu") and _safe(lambda: node.name) == name:
                if inside is not None and not self._inside(node, inside):
                    continue
                if _pyatspi().STATE_SHOWING in states_of(node):
                    return node
        return None

    @staticmethod
    def _inside(node, menu_name):
        for _ in range(3):
            node = _safe(lambda: node.parent)
            if node is None:
                return False
            if _safe(lambda: node.name) == menu_name:
                return True
        return False

    def _click(self, accessible):
        """A left click in the middle of what accessible covers, once it has stopped moving
        (a window manager places new windows after they appear)."""
        pyatspi = _pyatspi()

        def steady_extents():
            first = accessible.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
            time.sleep(0.15)
            second = accessible.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
            same = (first.x, first.y, first.width, first.height) == \
                (second.x, second.y, second.width, second.height)
            return second if same and second.width > 0 else None

        extents = self.wait(steady_extents, "a control to stop moving")
        x = extents.x + extents.width // 2
        y = extents.y + extents.height // 2
        self.xdotool("mousemove", "--sync", str(x), str(y))
        self.settle(0.1)
        self.xdotool("click", "1")

    def click_field(self, window, name):
        """Clicks into a window's text field named name (its accessible name), again if the
        window lost the keyboard meanwhile."""
        def field_focused():
            current = self.focus(window)
            field = next((node for node in descendants(current.accessible)
                          if role_name(node) == "text" and _safe(lambda: node.name) == name),
                         None)
            if field is None:
                return False
            if _pyatspi().STATE_FOCUSED not in states_of(field):
                self._click(field)
                self.settle(0.2)
            return _pyatspi().STATE_FOCUSED in states_of(field) and current.is_active()
        self.wait(field_focused, f"the field {name!r} to have the keyboard focus")

    # ---- find ----------------------------------------------------------------------------------

    def find_panel(self):
        for window in self.windows():
            if window.title in ("Find", "Find and Replace"):
                return window
        return None

    def open_find(self, name, replace=False):
        """Ctrl+F (Ctrl+Alt+F with replace) in the window titled name; returns the panel."""
        self.keys_into(name, "ctrl+alt+f" if replace else "ctrl+f")
        return self.wait(self.find_panel, "the find panel")

    def match_count(self):
        panel = self.find_panel()
        if panel is None:
            return None
        # The count is a status bar for screen readers (its changes are announced).
        for node in descendants(panel.accessible):
            if role_name(node) not in ("label", "status bar"):
                continue
            label = _safe(lambda: node.name, "") or ""
            if label.startswith("Search results") or label == "No search results":
                return label
        return None

    def focused_widget(self):
        app = self.application()
        if app is None:
            return None
        for node in descendants(app):
            if _pyatspi().STATE_FOCUSED in states_of(node) and role_name(node) != "filler":
                return node
        return None

    def list_item(self, window, name):
        for node in descendants(self.find_window_like(window).accessible):
            if role_name(node) == "list item" and _safe(lambda: node.name) == name:
                return node
        return None

    def list_items(self, window, list_name):
        for node in descendants(self.find_window_like(window).accessible):
            if role_name(node) == "list" and _safe(lambda: node.name) == list_name:
                return [_safe(lambda: item.name) for item in children(node)
                        if role_name(item) == "list item"]
        return None

    def field_text(self, window, name):
        for node in descendants(self.find_window_like(window).accessible):
            if role_name(node) == "text" and _safe(lambda: node.name) == name:
                text = node.queryText()
                return text.getText(0, text.characterCount)
        return None

    def focused_name(self):
        node = self.focused_widget()
        return None if node is None else _safe(lambda: node.name)

    @staticmethod
    def is_checked(node):
        return _pyatspi().STATE_CHECKED in states_of(node)

    def checkbox(self, window, name):
        for node in descendants(self.find_window_like(window).accessible):
            if role_name(node) == "check box" and _safe(lambda: node.name) == name:
                return node
        return None

    def menu_item_named(self, window_name, item_name):
        """A menu item of the window's menu bar, shown or not (menus are read, not opened)."""
        window = self.window(window_name)
        for node in descendants(window.accessible, skip_roles=()):
            if role_name(node) == "menu item" and _safe(lambda: node.name) == item_name:
                return node
        return None

    def press(self, window, button_name):
        """Clicks a window's button with the mouse."""
        window = self.focus(window)
        button = self.wait(lambda: self.find_window_like(window).buttons().get(button_name),
                           f"a button {button_name!r}")
        self._click(button)

    # ---- outside the editor ------------------------------------------------------------------

    def run_tool(self, *argv, timeout=60):
        """A desktop command run as the user (xdg-open, gio, the file-manager command)."""
        return subprocess.run(list(argv), env=self.env(), cwd=self.folders.files,
                              capture_output=True, text=True, timeout=timeout)

    def xdg_open(self, target):
        return self.run_tool("xdg-open", target)

    def gio_open(self, target):
        return self.run_tool("gio", "open", target)

    def new_file_in(self, folder):
        """What the file manager's "New Text Document" runs."""
        return self.run_tool(self.finder_sync, folder)


def read_bytes(path):
    with open(path, "rb") as handle:
        return handle.read()


def write_bytes(path, data):
    with open(path, "wb") as handle:
        handle.write(data)


def saved_form(text):
    """The bytes a save writes for a text: UTF-8, CR LF and lone CR made LF, the final line
    feed kept."""
    return text.replace("\r\n", "\n").replace("\r", "\n").encode("utf-8")
