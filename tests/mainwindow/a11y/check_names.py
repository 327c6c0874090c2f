#!/usr/bin/env python3
"""Walks the accessible tree of the application named on the command line and
fails on any focusable widget, list, toolbar, status bar or object of unknown
role without a name."""
import re
import sys
import time

try:
    import pyatspi
except ImportError:  # python3-pyatspi missing: the check is skipped, said so
    print("python3-pyatspi absent : vérification sautée")
    sys.exit(77)

NAMED_ROLES = {
    pyatspi.ROLE_LIST, pyatspi.ROLE_LIST_BOX, pyatspi.ROLE_TREE, pyatspi.ROLE_TREE_TABLE,
    pyatspi.ROLE_TABLE, pyatspi.ROLE_TOOL_BAR, pyatspi.ROLE_STATUS_BAR, pyatspi.ROLE_PUSH_BUTTON,
    pyatspi.ROLE_TOGGLE_BUTTON, pyatspi.ROLE_COMBO_BOX, pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY,
    pyatspi.ROLE_SPIN_BUTTON, pyatspi.ROLE_PAGE_TAB, pyatspi.ROLE_PAGE_TAB_LIST, pyatspi.ROLE_CHECK_BOX,
    pyatspi.ROLE_RADIO_BUTTON, pyatspi.ROLE_GROUPING,
}
# "entryToolbar", "Toolbar1": an object's programming name, not a French one.
TECHNICAL_NAME = re.compile(r"^([a-z]+[A-Z]\w*|[A-Z][a-z]+\d+)$")
# Items of a list are named by their text; their own rows are not walked.
LEAF_ROLES = {pyatspi.ROLE_LIST, pyatspi.ROLE_LIST_BOX, pyatspi.ROLE_TREE, pyatspi.ROLE_TREE_TABLE,
              pyatspi.ROLE_TABLE}


def find_application(name, wait=15.0):
    end = time.time() + wait
    while time.time() < end:
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            if app is not None and app.name == name and app.childCount > 0:
                return app
        time.sleep(0.3)
    return None


def walk(node, window, path, report, counts):
    try:
        role = node.getRole()
        states = node.getState()
        name = node.name or ""
    except Exception:  # a node gone while walking
        return
    if path.count("/") == 0:
        window = name or "(fenêtre sans titre)"
    if not states.contains(pyatspi.STATE_SHOWING) and role not in (pyatspi.ROLE_FRAME, pyatspi.ROLE_DIALOG):
        return
    counts[0] += 1
    # An object a screen reader can only call "unknown" needs a name too.
    needs_name = role in NAMED_ROLES or role == pyatspi.ROLE_UNKNOWN or states.contains(pyatspi.STATE_FOCUSABLE)
    if role in (pyatspi.ROLE_SEPARATOR, pyatspi.ROLE_SCROLL_BAR, pyatspi.ROLE_LIST_ITEM,
                pyatspi.ROLE_TABLE_CELL, pyatspi.ROLE_MENU_ITEM, pyatspi.ROLE_COLUMN_HEADER):
        needs_name = False
    label = f"{window} > {path} [{node.getRoleName()}]"
    if needs_name and not name.strip():
        report.append(label + " sans nom")
    elif needs_name and TECHNICAL_NAME.match(name):
        report.append(label + f" nommé « {name} », un nom de programmeur")
    if "-v" in sys.argv:
        print(f"{label} « {name} »")
    if role in LEAF_ROLES:
        return
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            walk(child, window, f"{path}/{i}", report, counts)


def main():
    app_name = sys.argv[1]
    app = find_application(app_name)
    if app is None:
        print(f"application « {app_name} » absente du bus d'accessibilité")
        return 2
    report, counts = [], [0]
    for i in range(app.childCount):
        walk(app.getChildAtIndex(i), "", str(i), report, counts)
    print(f"{counts[0]} objets accessibles parcourus")
    for line in report:
        print(line)
    if counts[0] < 20:
        print("trop peu d'objets : la fenêtre n'a pas été exposée")
        return 2
    return 1 if report else 0


if __name__ == "__main__":
    sys.exit(main())
