#!/usr/bin/python3
"""A screen reader's view of Ravelin, through pyatspi on the accessibility bus of the session.

  accessibility_client.py DISPLAY   finds "Record", records, reads the running time twice, stops, lists the
                                    rows (printed as "row: NAME"), opens the newest, sets the volume, deletes
                                    it through the menu and its question, and follows focus on Tab (typed on
                                    the X display DISPLAY)

Each step waits for what it needs (polling the tree, at most TIMEOUT seconds) and the first that fails
ends the client with its reason and exit code 1.
"""
import re
import subprocess
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
import pyatspi  # noqa: E402
from gi.repository import GLib  # noqa: E402

TIMEOUT = 20


def fail(why):
    print("FAILED: " + why, flush=True)
    sys.exit(1)


def until(what, why):
    end = time.monotonic() + TIMEOUT
    while time.monotonic() < end:
        try:
            found = what()
        except Exception:  # an object that went away while it was read: ask again
            found = None
        if found:
            return found
        time.sleep(0.05)
    fail(why)


def fresh(accessible):
    accessible.clearCache()
    return accessible


def application():
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and app.name == "Ravelin":
            return app
    return None


def form(app):
    frame = fresh(app.getChildAtIndex(0))
    if frame.getRoleName() != "frame" or frame.name != "Ravelin":
        fail("the application's child is %s %r, not the frame" % (frame.getRoleName(), frame.name))
    return fresh(frame.getChildAtIndex(0)) if fresh(frame).childCount else None


def descendants(node):
    for i in range(fresh(node).childCount):
        child = fresh(node.getChildAtIndex(i))
        yield child
        yield from descendants(child)


def find(app, role, name=None, pattern=None):
    top = form(app)
    if top is None:
        return None
    for node in descendants(top):
        if node.getRoleName() != role:
            continue
        if name is not None and node.name != name:
            continue
        if pattern is not None and not re.fullmatch(pattern, node.name):
            continue
        return node
    return None


def press(node):
    action = node.queryAction()
    if action.nActions < 1 or action.getName(0) != "click" or not action.doAction(0):
        fail("%s %r cannot be clicked" % (node.getRoleName(), node.name))


def showing(app, name):
    top = form(app)
    return top is not None and fresh(top).name == name


def english(app, display):
    record = until(lambda: find(app, "push button", "Record"), 'no button "Record" on the main screen')
    press(record)
    until(lambda: showing(app, "Recording"), "the recording screen did not appear in the tree")
    label = until(lambda: find(app, "label", pattern=r"\d+:\d\d:\d\d"), "no running time on the recording screen")
    first = label.name
    second = until(lambda: fresh(label).name != first and fresh(label).name, "the running time stayed " + first)
    print("running time: %s then %s" % (first, second), flush=True)
    press(until(lambda: find(app, "push button", "Stop"), 'no button "Stop" on the recording screen'))
    until(lambda: showing(app, "Recordings"), "the list did not come back after the stop")

    the_list = until(lambda: find(app, "list"), "no list on the main screen")
    rows = until(lambda: [fresh(row) for row in descendants(the_list)], "the list has no rows")
    for row in rows:
        if row.getRoleName() != "list item" or not row.name:
            fail("a row is %s %r" % (row.getRoleName(), row.name))
        print("row: " + row.name, flush=True)

    press(rows[0])
    until(lambda: showing(app, "Playback"), "the playback screen did not open from the first row")
    volume = until(lambda: find(app, "slider", "Volume"), 'no slider "Volume" on the playback screen')
    value = volume.queryValue()
    if value.minimumValue != 0 or value.maximumValue != 100:
        fail("the volume runs from %s to %s" % (value.minimumValue, value.maximumValue))
    value.currentValue = 30
    until(lambda: abs(fresh(volume).queryValue().currentValue - 30) <= 1, "the volume did not move to 30")
    print("volume: %.0f" % volume.queryValue().currentValue, flush=True)

    press(until(lambda: find(app, "push button", "Menu"), 'no button "Menu" on the playback screen'))
    press(until(lambda: find(app, "list item", pattern=".*Delete this recording.*"), "no menu item to delete"))
    dialog = until(lambda: form(app) if form(app).getRoleName() == "dialog" else None, "no question before deleting")
    question = until(lambda: find(app, "label"), "the question has no text")
    text = question.queryText().getText(0, -1)
    if text != question.name or dialog.name != text:
        fail("the question reads %r, its label %r, the dialog %r" % (text, question.name, dialog.name))
    print("dialog: " + text, flush=True)
    press(until(lambda: find(app, "push button", "OK"), 'no button "OK" in the question'))
    until(lambda: showing(app, "Recordings"), "the list did not come back after the deletion")

    focused = []

    def on_focus(event):
        if event.detail1 == 1:
            focused.append(event.source.name)

    pyatspi.Registry.registerEventListener(on_focus, "object:state-changed:focused")
    loop = GLib.MainLoop()
    wanted = 3

    def tab():
        subprocess.run(["xdotool", "key", "Tab"], env={"DISPLAY": display}, check=True)
        return len(focused) < wanted and time.monotonic() < deadline

    deadline = time.monotonic() + TIMEOUT

    def check():
        if len(focused) >= wanted or time.monotonic() > deadline:
            loop.quit()
            return False
        return True

    GLib.timeout_add(300, tab)
    GLib.timeout_add(50, check)
    loop.run()
    if len(focused) < wanted or len(set(focused)) < 2 or "" in focused:
        fail("Tab moved the focus to %r" % focused)
    print("focus: " + " > ".join(focused), flush=True)


def main():
    app = until(application, 'no application "Ravelin" on the accessibility bus')
    english(app, sys.argv[1])
    print("done", flush=True)


main()
