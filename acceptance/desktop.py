"""A private desktop for the acceptance tests: an X server (Xvfb) with a window manager
(openbox), a session bus of its own and the accessibility bus on it, so the editor runs as it
does in a user's session and what a screen reader reads can be read back.

The desktop is started once per test run (start_desktop); every test gets its own home and
XDG folders (UserFolders), so settings, drafts, sessions and recent files never leak from
one test into the next.
"""

import os
import shutil
import signal
import subprocess
import tempfile
import time


class DesktopError(RuntimeError):
    pass


def poll(condition, timeout, interval=0.05):
    """Calls condition() until it returns something true, which is returned; None on timeout."""
    deadline = time.monotonic() + timeout
    while True:
        result = condition()
        if result:
            return result
        if time.monotonic() >= deadline:
            return None
        time.sleep(interval)


class Desktop:
    """Xvfb + openbox + a private session bus + the AT-SPI bus launcher, all ended by stop()."""

    def __init__(self, root):
        self.root = root
        self.processes = []
        self.display = None
        self.bus_address = None
        self.log_folder = os.path.join(root, "logs")
        os.makedirs(self.log_folder, exist_ok=True)
        self.runtime_dir = os.path.join(root, "runtime")
        os.makedirs(self.runtime_dir, mode=0o700, exist_ok=True)

    def _log(self, name):
        return open(os.path.join(self.log_folder, name), "ab")

    def _spawn(self, argv, log_name, env=None, **kwargs):
        with self._log(log_name) as log:
            process = subprocess.Popen(argv, stdout=kwargs.pop("stdout", log), stderr=log,
                                       env=env or self.env(), start_new_session=True, **kwargs)
        self.processes.append(process)
        return process

    def env(self, extra=None):
        env = dict(os.environ)
        for name in ("WAYLAND_DISPLAY", "XDG_CURRENT_DESKTOP", "DESKTOP_SESSION",
                     "GNOME_DESKTOP_SESSION_ID", "KDE_FULL_SESSION", "BROWSER",
                     "AT_SPI_BUS_ADDRESS", "SESSION_MANAGER"):
            env.pop(name, None)
        env["XDG_RUNTIME_DIR"] = self.runtime_dir
        if self.display:
            env["DISPLAY"] = self.display
        if self.bus_address:
            env["DBUS_SESSION_BUS_ADDRESS"] = self.bus_address
        if extra:
            env.update(extra)
        return env

    def _display_answers(self):
        return subprocess.run(["xdotool", "getdisplaygeometry"], env=self.env(),
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                              timeout=10).returncode == 0

    def _start_x(self):
        read_end, write_end = os.pipe()
        xvfb = self._spawn(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24",
                            "-nolisten", "tcp", "-noreset"], "xvfb.log", pass_fds=(write_end,))
        os.close(write_end)
        number = b""
        deadline = time.monotonic() + 15
        while not number.endswith(b"\n") and time.monotonic() < deadline:
            chunk = os.read(read_end, 16)
            if not chunk:
                break
            number += chunk
        os.close(read_end)
        if number.strip():
            self.display = ":" + number.decode().strip()
            if poll(self._display_answers, 10, 0.1):
                return True
        xvfb.kill()
        xvfb.wait()
        self.processes.remove(xvfb)
        self.display = None
        return False

    def start(self):
        if not any(self._start_x() for _ in range(3)):
            raise DesktopError("no X server could be reached: see " + self.log_folder)
        bus = self._spawn(["dbus-daemon", "--session", "--nofork", "--print-address"],
                          "dbus.log", stdout=subprocess.PIPE)
        self.bus_address = bus.stdout.readline().decode().strip()
        if not self.bus_address:
            raise DesktopError("the session bus gave no address: see " + self.log_folder)
        self._spawn(["openbox", "--sm-disable"], "openbox.log")
        self._spawn(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"],
                    "at-spi.log")
        if not poll(self._window_manager_runs, 15, 0.1):
            raise DesktopError("openbox did not take the screen: see " + self.log_folder)
        if not poll(self._accessibility_bus_ready, 15, 0.1):
            raise DesktopError("the accessibility bus did not start: see " + self.log_folder)
        return self

    def _window_manager_runs(self):
        result = subprocess.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], env=self.env(),
                                capture_output=True, text=True)
        return "window id" in result.stdout

    def _accessibility_bus_ready(self):
        result = subprocess.run(
            ["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
             "org.a11y.Bus.GetAddress"], env=self.env(), capture_output=True, text=True)
        return result.returncode == 0 and "unix:" in result.stdout

    def screenshot(self, path):
        subprocess.run(["import", "-window", "root", path], env=self.env(),
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=30)
        return path

    def stop(self):
        for process in reversed(self.processes):
            if process.poll() is None:
                try:
                    os.killpg(process.pid, signal.SIGTERM)
                except ProcessLookupError:
                    pass
        for process in reversed(self.processes):
            try:
                process.wait(timeout=5)
            except subprocess.TimeoutExpired:
                os.killpg(process.pid, signal.SIGKILL)
                process.wait()
        self.processes.clear()


class UserFolders:
    """A fresh home with every XDG folder inside it; env() is what a program of the user gets."""

    def __init__(self, root, desktop):
        self.root = root
        self.desktop = desktop
        self.home = os.path.join(root, "home")
        self.config = os.path.join(self.home, ".config")
        self.data = os.path.join(self.home, ".local", "share")
        self.state = os.path.join(self.home, ".local", "state")
        self.cache = os.path.join(self.home, ".cache")
        self.files = os.path.join(root, "files")
        for folder in (self.config, self.data, self.state, self.cache, self.files):
            os.makedirs(folder, exist_ok=True)

    def env(self, extra=None):
        values = {
            "HOME": self.home,
            "XDG_CONFIG_HOME": self.config,
            "XDG_DATA_HOME": self.data,
            "XDG_STATE_HOME": self.state,
            "XDG_CACHE_HOME": self.cache,
            "XDG_DATA_DIRS": self.data + ":/usr/local/share:/usr/share",
            "QT_QPA_PLATFORM": "xcb",
            "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1",
            "QT_ACCESSIBILITY": "1",
            "NO_AT_BRIDGE": "0",
        }
        if extra:
            values.update(extra)
        return self.desktop.env(values)


def start_desktop():
    root = tempfile.mkdtemp(prefix="scrivlet-acceptance-")
    desktop = Desktop(root)
    try:
        desktop.start()
    except Exception:
        desktop.stop()
        raise
    return desktop


def remove_tree(path):
    shutil.rmtree(path, ignore_errors=True)
