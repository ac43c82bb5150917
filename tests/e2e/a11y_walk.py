#!/usr/bin/python3
"""Reads one window of a program as a screen reader does, through AT-SPI.

a11y_walk.py PID TITLE: prints "role: name" for every control the window
shows (a progress bar adds "= value (min-max)", a table its column
headers as "column header: name" and its first row) and exits 1 when a control has no name,
a progress bar no value, a table column no header or the window is not
read as a window; 2 when the window is not in the tree.
"""
import sys

import pyatspi

CONTROLS = {
    pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_TOGGLE_BUTTON, pyatspi.ROLE_CHECK_BOX,
    pyatspi.ROLE_RADIO_BUTTON, pyatspi.ROLE_COMBO_BOX, pyatspi.ROLE_TEXT,
    pyatspi.ROLE_ENTRY, pyatspi.ROLE_SPIN_BUTTON, pyatspi.ROLE_LIST,
    pyatspi.ROLE_LIST_BOX, pyatspi.ROLE_TABLE, pyatspi.ROLE_TREE_TABLE,
    pyatspi.ROLE_PROGRESS_BAR, pyatspi.ROLE_SLIDER,
}
WINDOWS = {pyatspi.ROLE_FRAME, pyatspi.ROLE_DIALOG, pyatspi.ROLE_WINDOW}

faults = []


def showing(node):
    return node.getState().contains(pyatspi.STATE_SHOWING)


def spoken_name(node):
    """The label that names the control (its labelled-by relation, which
    Qt gives a combo box whose own name is its current item), else its name."""
    for relation in node.getRelationSet():
        if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY:
            for i in range(relation.getNTargets()):
                label = (relation.getTarget(i).name or "").strip()
                if label:
                    return label
    return (node.name or "").strip()


def walk(node, depth=0):
    if depth > 30 or not showing(node):
        return
    role = node.getRole()
    if role in CONTROLS:
        kind = node.getRoleName()
        name = spoken_name(node)
        line = f"{kind}: {name}"
        if not name:
            faults.append(f"{kind} without a name")
        if role == pyatspi.ROLE_PROGRESS_BAR:
            try:
                value = node.queryValue()
                line += f" = {value.currentValue:g} ({value.minimumValue:g}-{value.maximumValue:g})"
            except NotImplementedError:
                faults.append(f"progress bar '{name}' has no value")
        print(line)
        if role in (pyatspi.ROLE_TABLE, pyatspi.ROLE_TREE_TABLE):
            # The rows read through their column headers; the cells
            # themselves are the data.
            table = node.queryTable()
            for column in range(table.nColumns):
                header = table.getColumnHeader(column)
                text = (header.name if header else table.getColumnDescription(column)) or ""
                print(f"column header: {text.strip()}")
                if not text.strip():
                    faults.append(f"column {column} of '{name}' without a header")
            # The first row as it is read: each cell after its header.
            if table.nRows > 0:
                cells = []
                for column in range(table.nColumns):
                    cell = table.getAccessibleAt(0, column)
                    checked = cell.getState().contains(pyatspi.STATE_CHECKED)
                    cells.append((cell.name or "").strip() or ("checked" if checked else ""))
                print("row: " + " | ".join(cells))
            return
        if role == pyatspi.ROLE_COMBO_BOX:
            return  # its list is the drop-down, read with the box
    for child in node:
        if child is not None:
            walk(child, depth + 1)


def main():
    pid, title = int(sys.argv[1]), sys.argv[2]
    for app in pyatspi.Registry.getDesktop(0):
        if app is None or app.get_process_id() != pid:
            continue
        for window in app:
            if window is not None and window.name == title and showing(window):
                if window.getRole() not in WINDOWS:
                    faults.append(f"the window reads as a {window.getRoleName()}")
                walk(window)
                for fault in faults:
                    print("FAULT:", fault)
                return 1 if faults else 0
    print(f"no window '{title}' of process {pid} in the accessibility tree")
    return 2


sys.exit(main())
