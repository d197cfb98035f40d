#!/usr/bin/env python3
"""Drives a running Scrivlet through AT-SPI for wayland-smoke.sh:
    wayland-drive.py FILE_NAME TEXT
Waits for the document window titled with FILE_NAME, inserts TEXT into its text, triggers
File > Save, then Edit > Find... and waits for the find panel. Exits non-zero with the reason."""

import sys
import time

import pyatspi


def fail(message):
    print(f"FAIL: {message}", file=sys.stderr)
    sys.exit(1)


def wait_for(seconds, probe):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        found = probe()
        if found:
            return found
        time.sleep(0.2)
    return None


def walk(node, depth=0):
    # Read afresh on every probe: windows and menus come and go.
    if node is None or depth > 40:
        return
    yield node
    for index in range(node.childCount):
        try:
            child = node.getChildAtIndex(index)
        except Exception:  # a child that went away while the tree was read
            continue
        yield from walk(child, depth + 1)


def scrivlet():
    desktop = pyatspi.Registry.getDesktop(0)
    for index in range(desktop.childCount):
        app = desktop.getChildAtIndex(index)
        if app is not None and app.name.lower().startswith("scrivlet"):
            return app
    return None


def find(predicate):
    app = scrivlet()
    return next((node for node in walk(app) if predicate(node)), None) if app else None


def showing(node):
    return node.getState().contains(pyatspi.STATE_SHOWING)


def trigger_menu_item(name):
    item = wait_for(5, lambda: find(
        lambda node: node.getRole() == pyatspi.ROLE_MENU_ITEM and node.name == name))
    if not item:
        fail(f"no menu item {name!r}")
    action = item.queryAction()
    if action.nActions == 0:
        fail(f"the menu item {name!r} offers no action")
    action.doAction(0)


def main():
    file_name, text = sys.argv[1], sys.argv[2]
    window = wait_for(20, lambda: find(
        lambda node: node.getRole() == pyatspi.ROLE_FRAME and file_name in node.name
        and showing(node)))
    if not window:
        fail(f"no document window titled {file_name!r} showed")

    editor = wait_for(5, lambda: next((
        node for node in walk(window)
        if node.getState().contains(pyatspi.STATE_EDITABLE) and "EditableText" in
        pyatspi.listInterfaces(node)), None))
    if not editor:
        fail("the document window has no editable text")
    editor.queryEditableText().insertText(0, text, len(text))
    if not wait_for(5, lambda: editor.queryText().getText(0, -1) == text):
        fail(f"the text reads {editor.queryText().getText(0, -1)!r} after inserting")

    # The saved bytes are checked by the caller: the find panel below opens only after the
    # application has handled Save, as both requests are queued in order.
    trigger_menu_item("Save")

    def find_panel():
        # The panel is a window of its own, titled after its mode. AT-SPI does not always list
        # the contents of a window that opened after the tree was first read, so its title and
        # state are what is asked for.
        return next((top for top in top_levels()
                     if top != window and top.name == "Find" and showing(top)), None)

    if find_panel():
        fail("a find panel showed before Edit > Find... was chosen")
    trigger_menu_item("Find...")
    if not wait_for(5, find_panel):
        shown = [(top.getRoleName(), top.name, showing(top)) for top in top_levels()]
        fail(f"the find panel did not open; windows: {shown}")


def top_levels():
    app = scrivlet()
    return [app.getChildAtIndex(index) for index in range(app.childCount)] if app else []


if __name__ == "__main__":
    main()
