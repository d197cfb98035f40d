"""What a screen reader meets in a window of the editor, read through AT-SPI as Orca reads it.

problems(window) lists what a reader would trip over: a control without a name, a value that
makes no sense, a focusable object its parent does not list (a reader cannot reach it by
walking the tree), a window that is not exposed as one, a description that only repeats the
name. tab_walk() presses Tab and records where the keyboard focus lands each time, as the
focus events a reader follows report it; unreached_by_tab() lists the controls that Tab never
reaches.
"""

from desktop import poll
from driver import PATIENCE, _pyatspi, _safe, children, role_name

# What a person acts on; each needs a name a reader can say.
ACTIONABLE_ROLES = {
    "push button", "toggle button", "check box", "radio button", "combo box", "spin button",
    "text", "entry", "password text", "slider", "list item", "table cell", "menu item",
    "check menu item", "radio menu item", "link",
}
# What a window is exposed as; a "filler" is read as nothing at all.
WINDOW_ROLES = {"frame", "dialog", "alert", "window", "file chooser", "color chooser"}
# What Tab must reach. A label whose text the mouse can select is focusable too, but Tab passes it.
TAB_STOP_ROLES = {"push button", "toggle button", "check box", "radio button", "combo box",
                  "spin button", "text", "entry", "password text", "slider", "link", "list",
                  "table", "tree", "tree table"}
# Items Tab does not visit one by one: the arrow keys move among them inside their container.
ITEM_ROLES = {"list item", "table cell", "tree item", "menu item", "check menu item",
              "radio menu item", "page tab"}


def _has(accessible, state):
    state_set = _safe(accessible.getState)
    return bool(state_set is not None and state_set.contains(state))


def _name(accessible):
    return (_safe(lambda: accessible.name, "") or "").strip()


def _description(accessible):
    return (_safe(lambda: accessible.description, "") or "").strip()


def describe(accessible):
    """How a problem names an object: its role and name."""
    return f"[{role_name(accessible)}] {_name(accessible)!r}"


def walk(accessible, skip_roles=("menu bar", "menu")):
    """(parent, index, child) for every object below accessible, depth first, as a reader
    reaches them through each parent's list of children."""
    for index, child in enumerate(children(accessible)):
        yield accessible, index, child
        if role_name(child) not in skip_roles:
            yield from walk(child, skip_roles)


def is_focusable(accessible):
    pyatspi = _pyatspi()
    return _has(accessible, pyatspi.STATE_FOCUSABLE) and _has(accessible, pyatspi.STATE_VISIBLE) \
        and _has(accessible, pyatspi.STATE_SENSITIVE)


def _same_words(first, second):
    def plain(text):
        return text.strip().rstrip(".:").strip().casefold()
    return plain(first) == plain(second)


def _value_problem(accessible):
    value = _safe(accessible.queryValue)
    if value is None:
        return None
    low, high, current = (_safe(lambda: value.minimumValue), _safe(lambda: value.maximumValue),
                          _safe(lambda: value.currentValue))
    if None in (low, high, current):
        return f"{describe(accessible)} has a value interface that cannot be read"
    if low >= high:
        return f"{describe(accessible)} reports the range {low:g}..{high:g}"
    if not low <= current <= high:
        return f"{describe(accessible)} reports {current:g} outside {low:g}..{high:g}"
    return None


def window_problems(window):
    """The window itself: a role a reader announces as a window, and a title."""
    found = []
    if role_name(window) not in WINDOW_ROLES:
        found.append(f"window {_name(window)!r} has the role {role_name(window)!r}")
    if not _name(window):
        found.append(f"a window with the role {role_name(window)!r} has no name")
    return found


def problems(window):
    """Everything in window (an AT-SPI accessible or a driver.Window) a reader would trip over,
    as sentences; empty when there is nothing."""
    window = getattr(window, "accessible", window)
    found = window_problems(window)
    for parent, index, node in walk(window):
        role = role_name(node)
        focusable = is_focusable(node)
        if (role in ACTIONABLE_ROLES or focusable) and _has(node, _pyatspi().STATE_VISIBLE) \
                and not _name(node):
            found.append(f"{describe(node)} (under {describe(parent)}) has no name")
        if role != "scroll bar" and (focusable or role in ACTIONABLE_ROLES | {"progress bar"}):
            problem = _value_problem(node)
            if problem:
                found.append(problem)
        if _description(node) and _name(node) and _same_words(_description(node), _name(node)):
            found.append(f"{describe(node)} has a description that repeats its name")
        if focusable and not in_tree(node, parent, index):
            found.append(f"{describe(node)} is not among the children of {describe(parent)}")
    return found


def in_tree(node, parent=None, index=None):
    """Whether node's parent lists it among its children (where it says it sits)."""
    parent = parent if parent is not None else _safe(lambda: node.parent)
    if parent is None:
        return False
    index = index if index is not None else _safe(node.getIndexInParent, -1)
    if index is None or index < 0:
        return False
    return _safe(lambda: parent.getChildAtIndex(index)) == node


def reachable(node, limit=40):
    """Whether a reader walking down from node's window meets node: every object between them
    is listed by its parent."""
    for _ in range(limit):
        parent = _safe(lambda: node.parent)
        if parent is None or role_name(parent) == "application":
            return True
        if not in_tree(node, parent):
            return False
        node = parent
    return False


class FocusEvents:
    """The focus events a screen reader follows, recorded while the object lives. Events arrive
    only while the recorder pumps them (latest() does)."""

    def __init__(self):
        self.events = []
        self._registry = _pyatspi().Registry
        self._registry.registerEventListener(self._record, "object:state-changed:focused")

    def _record(self, event):
        if event.detail1:
            self.events.append(event.source)

    def pump(self):
        from gi.repository import GLib
        context = GLib.MainContext.default()
        while context.pending():
            context.iteration(False)

    def latest(self):
        self.pump()
        return self.events[-1] if self.events else None

    def close(self):
        _safe(lambda: self._registry.deregisterEventListener(self._record,
                                                            "object:state-changed:focused"))

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


def focused_in(window):
    """The object of window that holds the focus, looked for through the tree. Qt marks the
    current item of a list focused even while the list has no focus, so an item counts only
    inside a focused container; of a focused list and its item, the item is what a reader says."""
    pyatspi = _pyatspi()
    found = None
    for parent, _, node in walk(getattr(window, "accessible", window)):
        if not (_has(node, pyatspi.STATE_FOCUSED) and _has(node, pyatspi.STATE_FOCUSABLE)):
            continue
        if role_name(node) in ITEM_ROLES and not _has(parent, pyatspi.STATE_FOCUSED):
            continue
        found = node
    return found


def focus_label(node):
    """What a Tab walk records for the focused object: its name, or its role in brackets."""
    if node is None:
        return "(nothing)"
    return _name(node) or f"[{role_name(node)}]"


def tab_walk(scrivlet, window, count, key="Tab", settle=1.5):
    """Presses key count times in window (made active first) and returns, for each press, the
    focused object as (label, accessible). A press after which no new focus event arrives
    records what the tree shows focused."""
    window = scrivlet.focus(window)
    steps = []
    with FocusEvents() as events:
        events.pump()
        for _ in range(count):
            seen = len(events.events)
            scrivlet.key(key)
            arrived = poll(lambda: events.latest() is not None and len(events.events) > seen,
                           settle)
            node = events.events[-1] if arrived else focused_in(window)
            steps.append((focus_label(node), node))
    return steps


def tab_order(scrivlet, window, count, key="Tab"):
    """The labels of tab_walk()."""
    return [label for label, _ in tab_walk(scrivlet, window, count, key)]


def tab_problems(steps):
    """Focus that landed on an object outside the tree, or on one a reader cannot name."""
    found = []
    for label, node in steps:
        if node is None:
            continue
        if not reachable(node):
            found.append(f"Tab reached {describe(node)}, which a walk down from its window "
                         "does not meet")
        elif not _name(node):
            found.append(f"Tab reached {describe(node)}, which has no name")
    return list(dict.fromkeys(found))


def unreached_by_tab(scrivlet, window, extra_presses=4):
    """The controls of window that a full round of Tab never focuses. Items inside a list or
    table are reached by the arrow keys, so their container stands for them; radio buttons of
    one group count as reached when one of them is."""
    window = getattr(window, "accessible", window)
    controls = [node for _, _, node in walk(window)
                if is_focusable(node) and role_name(node) in TAB_STOP_ROLES]
    steps = tab_walk(scrivlet, window_like(scrivlet, window),
                     len(controls) + extra_presses)
    reached = [node for _, node in steps if node is not None]
    reached_parents = {_safe(lambda: node.parent) for node in reached
                       if role_name(node) == "radio button"}
    missing = []
    for node in controls:
        if node in reached:
            continue
        if role_name(node) == "radio button" and _safe(lambda: node.parent) in reached_parents:
            continue
        missing.append(describe(node))
    return missing


def window_like(scrivlet, accessible):
    for window in scrivlet.windows():
        if window.accessible == accessible:
            return window
    scrivlet.fail(f"no window {describe(accessible)}")


def wait_until_focused(scrivlet, window, timeout=PATIENCE):
    """The object of window that has the focus once the window shows one."""
    return scrivlet.wait(lambda: focused_in(window), "a focused control", timeout)


def tab_to(scrivlet, window, name, limit=40):
    """Presses Tab until the control named name has the focus, as a keyboard user does; returns
    it. Fails after limit presses, saying where the focus went."""
    window = scrivlet.focus(window)
    node = focused_in(window)
    seen = [focus_label(node)]
    for _ in range(limit):
        if node is not None and _name(node) == name:
            return node
        (label, node), = tab_walk(scrivlet, window, 1)
        seen.append(label)
    scrivlet.fail(f"Tab never reached {name!r}; the focus went {seen}")


def _extents(node):
    box = _safe(lambda: node.queryComponent().getExtents(_pyatspi().DESKTOP_COORDS))
    return None if box is None else (box.x, box.y, box.width, box.height)


def screen_order_problems(nodes):
    """Where one control follows another in nodes (a round of Tab) but sits above it, or left of
    it on the same line. Read at once, so a form that scrolled meanwhile moved as a whole."""
    boxes = [(node, _extents(node)) for node in nodes]
    found = []
    for (first, a), (second, b) in zip(boxes, boxes[1:]):
        if a is None or b is None:
            continue
        overlap = min(a[1] + a[3], b[1] + b[3]) - max(a[1], b[1])
        same_line = overlap > min(a[3], b[3]) / 2
        if (same_line and b[0] < a[0]) or (not same_line and b[1] < a[1]):
            found.append(f"Tab goes from {describe(first)} to {describe(second)}, "
                         "which comes before it on screen")
    return found
