#!/usr/bin/python3
"""Reads Tolvane's windows through AT-SPI as a screen reader does (bench/AccessibilityCheck.sh
starts the program; this only reads). Prints each named control with its role, and the tempo
read-out's value; exits 1 when the main window or the settings dialog cannot be found, when a
focusable control has no name, or when the read-out gives no tempo.

    AccessibilityRead.py WINDOW-TITLE-PART [SECONDS]
"""
import sys
import time

import pyatspi

def walk(node, depth=0):
    yield node, depth
    for index in range(node.childCount):
        child = node.getChildAtIndex(index)
        if child is not None:
            yield from walk(child, depth + 1)

def application(deadline):
    while time.time() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for index in range(desktop.childCount):
            app = desktop.getChildAtIndex(index)
            if app is not None and app.name and "tolvane" in app.name.lower():
                return app
        time.sleep(0.2)
    return None

def main():
    wanted = sys.argv[1] if len(sys.argv) > 1 else "Tolvane"
    deadline = time.time() + (float(sys.argv[2]) if len(sys.argv) > 2 else 20)
    app = application(deadline)
    if app is None:
        print("no Tolvane application on the accessibility bus")
        return 1
    unnamed, buttons, tempo, windows = [], 0, None, []
    for node, depth in walk(app):
        role = node.getRoleName()
        states = node.getState()
        if role in ("frame", "dialog", "window"):
            windows.append(node.name)
        focusable = states.contains(pyatspi.STATE_FOCUSABLE)
        showing = states.contains(pyatspi.STATE_SHOWING)
        if (role == "push button" and showing) or (focusable and role in ("toggle button", "check box", "radio button", "slider",
                                                            "spin button", "combo box", "text", "page tab", "list",
                                                            "tree", "table")):
            # A combo box's drop-down list is the combo box's own (it reads its items).
            inner = role == "list" and node.parent is not None and node.parent.getRoleName() == "combo box"
            if not node.name.strip() and not inner:
                unnamed.append(role)
            if role == "push button":
                buttons += 1
            print("  " * depth + f"{role}: {node.name!r}")
        if role in ("label", "static", "statusbar") and node.name:
            print("  " * depth + f"{role}: {node.name!r}")
        try:
            value = node.queryValue()
            if role not in ("slider", "scroll bar", "spin button"):
                tempo = (node.name, value.currentValue)
                print("  " * depth + f"{role} {node.name!r} value {value.currentValue:g}")
        except NotImplementedError:
            pass
    print(f"windows: {windows}")
    print(f"buttons read: {buttons}; focusable controls without a name: {len(unnamed)} {unnamed}")
    print(f"tempo read-out: {tempo}")
    found = any(wanted.lower() in (name or "").lower() for name in windows)
    return 0 if found and not unnamed and tempo is not None else 1

if __name__ == "__main__":
    sys.exit(main())
