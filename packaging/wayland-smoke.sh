#!/usr/bin/env bash
# Runs the editor on Wayland, under weston's headless backend, and drives it through AT-SPI (a
# headless compositor has no input tools like xdotool):   wayland-smoke.sh BUILD_DIR
#   - a document window shows for a file given on the command line;
#   - text inserted into it is saved by File > Save, and the file holds exactly those bytes;
#   - Edit > Find... opens the find panel.
# Skips (77) only where weston is not installed; a compositor that is installed but does not
# start fails the test with what it printed.
set -euo pipefail
build_dir=$(cd "$1" && pwd)
editor=$build_dir/editor/scrivlet
# Debian's own interpreter, which python3-pyatspi installs into (not a python3 earlier in PATH).
python=/usr/bin/python3

if [ -z "${SCRIVLET_WAYLAND_ON_PRIVATE_BUS:-}" ]; then
    if ! command -v weston >/dev/null; then
        echo "SKIPPED: weston is not installed (scripts/install-dependencies installs it)" >&2
        exit 77
    fi
    command -v dbus-run-session >/dev/null || { echo "FAIL: dbus-run-session is missing (scripts/install-dependencies)" >&2; exit 1; }
    "$python" -c 'import pyatspi' 2>/dev/null || { echo "FAIL: python3-pyatspi is missing (scripts/install-dependencies)" >&2; exit 1; }
    exec env SCRIVLET_WAYLAND_ON_PRIVATE_BUS=1 dbus-run-session -- "$0" "$@"
fi

tmp=$(mktemp -d)
weston_pid="" editor_pid=""
cleanup() {
    [ -n "$editor_pid" ] && kill -KILL "$editor_pid" 2>/dev/null && wait "$editor_pid" 2>/dev/null || true
    [ -n "$weston_pid" ] && kill "$weston_pid" 2>/dev/null && wait "$weston_pid" 2>/dev/null || true
    rm -rf "$tmp"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
wait_for() { # wait_for SECONDS COMMAND...
    local tries=$(($1 * 10)); shift
    until "$@"; do
        tries=$((tries - 1)); [ "$tries" -gt 0 ] || return 1; sleep 0.1
    done
}

# Wayland clients find the compositor's socket in XDG_RUNTIME_DIR, which must be private.
mkdir -m 0700 "$tmp/runtime"
export XDG_RUNTIME_DIR=$tmp/runtime HOME=$tmp/home XDG_CONFIG_HOME=$tmp/home/.config \
    XDG_DATA_HOME=$tmp/home/.local/share XDG_STATE_HOME=$tmp/home/.local/state \
    XDG_CACHE_HOME=$tmp/home/.cache
unset DISPLAY XDG_CURRENT_DESKTOP DESKTOP_SESSION
mkdir -p "$XDG_CONFIG_HOME/scrivlet"
# The first launch's default-editor question would stand in front of the document.
printf '[General]\nhasShownDefaultHandlerPrompt=true\n' > "$XDG_CONFIG_HOME/scrivlet/scrivlet.conf"

# Without a GPU, weston renders into memory with pixman.
weston --backend=headless-backend.so --use-pixman --socket=wayland-scrivlet --idle-time=0 \
    --width=1024 --height=768 >"$tmp/weston.log" 2>&1 &
weston_pid=$!
wait_for 10 test -S "$XDG_RUNTIME_DIR/wayland-scrivlet" \
    || fail "weston did not start: $(cat "$tmp/weston.log")"

file=$tmp/notes.txt
: > "$file"
QT_QPA_PLATFORM=wayland WAYLAND_DISPLAY=wayland-scrivlet QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 \
    QT_ACCESSIBILITY=1 ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0 \
    "$editor" "$file" >"$tmp/editor.log" 2>&1 &
editor_pid=$!

text='Hello from Wayland
second line
'
"$python" "$(dirname "$0")/wayland-drive.py" "$(basename "$file")" "$text" \
    || fail "driving the editor failed (editor: $(cat "$tmp/editor.log"))"
kill -0 "$editor_pid" 2>/dev/null || fail "the editor has ended: $(cat "$tmp/editor.log")"
[ "$(cat "$file"; echo .)" = "$text." ] || fail "the saved file holds $(od -c "$file" | head -n 5)"
echo "Wayland: the window showed, the typed text was saved byte for byte, the find panel opened."
