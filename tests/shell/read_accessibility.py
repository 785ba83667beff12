#!/usr/bin/python3
"""Prints what a screen reader learns of the running Tunvask through AT-SPI: one line per
object, "role|name|value|description", for the main window and everything in it."""
import sys

import pyatspi


def value_of(accessible):
    try:
        text = accessible.queryText()
        return text.getText(0, -1)
    except NotImplementedError:
        pass
    try:
        return str(accessible.queryValue().currentValue)
    except NotImplementedError:
        return ""


def walk(accessible, depth=0):
    if accessible is None or depth > 12:
        return
    fields = [accessible.getRoleName(), accessible.name, value_of(accessible), accessible.description]
    print("|".join(f.replace("\n", "\\n") for f in fields))
    for i in range(accessible.childCount):
        walk(accessible.getChildAtIndex(i), depth + 1)


def main():
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and app.name.lower() == "tunvask":
            for j in range(app.childCount):
                window = app.getChildAtIndex(j)
                if window is not None and window.name == "Tunvask":
                    walk(window)
                    return 0
    return 1


sys.exit(main())
