#!/usr/bin/python3
"""Reads zetra's window through AT-SPI: finds every control by its accessible name, presses On
and Rec, reads a readout while recording, and stops again."""
import re
import sys
import time

import pyatspi

BUTTONS = ["Open", "Save", "Cut", "Copy", "Paste", "Delete", "Print", "On", "Rec", "exam", "Mkr",
           "CH1 Zero", "CH1 Off Z", "CH1 Conv", "CH2 Zero", "CH2 Off Z", "CH2 Conv"]
SCROLL_BARS = ["Time scroll bar", "CH1 offset", "CH1 temperature base", "CH2 offset",
               "CH2 temperature base"]
MENUS = ["File", "Edit", "View", "Scales", "Setup", "Filters", "Conversion", "Calculate", "Help"]
READOUTS = ["CH1 current", "CH1 other unit", "CH1 temperature", "CH2 current", "CH2 other unit",
            "CH2 temperature"]
READOUT = re.compile(r"^CH1 current: [+ -]?-? ?\d{3}'\d{3}\.\d (pA|nM)$")


def fail(message):
    print("FAIL: " + message, file=sys.stderr)
    sys.exit(1)


def find_app(seconds=20):
    end = time.time() + seconds
    while time.time() < end:
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            if app is not None and app.name == "zetra":
                return app
        time.sleep(0.5)
    fail("zetra did not appear on the accessibility bus")


def walk(node, found, depth=0):
    """Every accessible below node as (role name, accessible name, node)."""
    if node is None or depth > 30:
        return
    try:
        found.append((node.getRoleName(), node.name or "", node))
        for child in node:
            walk(child, found, depth + 1)
    except Exception:  # a node that vanished while we walked
        pass


def controls(app):
    found = []
    walk(app, found)
    return found


def by_name(app, role, name, prefix=False, seconds=5):
    end = time.time() + seconds
    while time.time() < end:
        for r, n, node in controls(app):
            if r == role and (n.startswith(name) if prefix else n == name):
                return node
        time.sleep(0.3)
    return None


def press(app, name):
    button = by_name(app, "push button", name)
    if button is None:
        fail("no button named %r" % name)
    button.queryAction().doAction(0)
    time.sleep(0.5)


def main():
    app = find_app()
    time.sleep(1)
    seen = controls(app)
    names = {(r, n) for r, n, _ in seen}
    for name in BUTTONS:
        if ("push button", name) not in names:
            fail("no push button named %r; buttons: %s" %
                 (name, sorted(n for r, n in names if r == "push button")))
    for name in SCROLL_BARS:
        node = by_name(app, "scroll bar", name)
        if node is None:
            fail("no scroll bar named %r" % name)
        node.queryValue()  # scroll bars give their position to assistive tools
        if not node.description:
            fail("scroll bar %r has no description" % name)
    for name in MENUS:
        if ("menu", name) not in names and ("menu item", name) not in names:
            fail("no menu named %r" % name)
    for name in READOUTS:
        if by_name(app, "label", name + ":", prefix=True) is None:
            fail("no readout named %r" % name)
    if by_name(app, "label", "CH1") is None or by_name(app, "label", "CH2") is None:
        fail("the channel titles are not readable")
    for r, n, node in seen:
        if r == "push button" and n in BUTTONS and not node.description:
            fail("button %r has no description" % n)
    print("found %d accessibles, every control by name" % len(seen))

    press(app, "On")
    if by_name(app, "push button", "Off") is None:
        fail("On did not connect (no button reads Off)")
    press(app, "Rec")
    if by_name(app, "push button", "Stop") is None:
        fail("Rec did not start a recording")
    time.sleep(3)
    readout = by_name(app, "label", "CH1 current:", prefix=True)
    text = readout.name
    print("readout: " + text)
    if not READOUT.match(text):
        fail("unexpected readout %r" % text)
    if text.endswith("+000'000.0 pA"):
        fail("the readout never changed from zero")
    status = by_name(app, "label", "Recording status:", prefix=True)
    if status is None or "samples" not in status.name:
        fail("the status field does not tell the recording: %r" % (status and status.name))
    print("status: " + status.name)
    press(app, "Stop")
    if by_name(app, "push button", "Rec") is None:
        fail("Stop did not end the recording")
    print("accessibility test passed")


if __name__ == "__main__":
    main()
