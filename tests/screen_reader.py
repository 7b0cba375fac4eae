#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Uses Corvane as a blind keyboard user does: reads the window through the accessibility
bus (AT-SPI, what Orca reads) and presses keys with xdotool, never the mouse.

    screen_reader.py WINDOW_ID      (DISPLAY and the session bus as the program has them)

Checks that "Core speed" reads a number and announces its next one, then reaches
"Diagnostic" by keyboard, starts and stops the CPU test, and moves to CLOSE and presses it.
Prints each step; exits non-zero on the first that fails.
"""
import re
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

WINDOW = sys.argv[1]
context = GLib.MainContext.default()
focused = []       # (role, name) of every control that took the focus, in order
core_speeds = []   # each new text "Core speed" announced


def fail(message):
    print("FAIL: " + message, file=sys.stderr)
    sys.exit(1)


def spin(seconds, done=lambda: False):
    """Delivers the bus's events for up to `seconds`; True once done() holds."""
    end = time.monotonic() + seconds
    while True:
        while context.pending():
            context.iteration(False)
        if done():
            return True
        if time.monotonic() >= end:
            return False
        time.sleep(0.02)


def find(node, test):
    if test(node):
        return node
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        found = child and find(child, test)
        if found:
            return found
    return None


def labelled_by(node, caption):
    for relation in node.getRelationSet():
        if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY:
            for i in range(relation.getNTargets()):
                if relation.getTarget(i).name == caption:
                    return True
    return False


def has_text(node):
    try:
        node.queryText()
        return True
    except NotImplementedError:
        return False


def text_of(node):
    return node.queryText().getText(0, -1)


def on_focus(event):
    if event.detail1:
        focused.append((event.source.getRoleName(), event.source.name))


def on_text(event):
    source = event.source
    if source.name == "Core speed" and event.type.endswith("insert"):
        core_speeds.append(text_of(source))


def key(name, expect_role, expect_name):
    """Presses a key and waits until the focus lands on the control expected."""
    subprocess.run(["xdotool", "key", name], check=True)
    if not spin(5, lambda: focused and focused[-1] == (expect_role, expect_name)):
        fail("after %s the focus is on %s, not %s %r" % (name, focused[-1:], expect_role, expect_name))
    print("%-10s -> %s %r" % (name, expect_role, expect_name))


application = None
for _ in range(200):
    desktop = pyatspi.Registry.getDesktop(0)
    application = find(desktop, lambda n: n.getRole() == pyatspi.ROLE_APPLICATION
                       and n.name == "Corvane")
    if application:
        break
    time.sleep(0.1)
if not application:
    fail("Corvane is not on the accessibility bus")
# Every read goes to the program: what a screen reader reads must be what is shown now.
application.set_cache_mask(0)

pyatspi.Registry.registerEventListener(on_focus, "object:state-changed:focused")
pyatspi.Registry.registerEventListener(on_text, "object:text-changed")
spin(0.5)  # the program learns that someone listens

core = find(application, lambda n: n.name == "Core speed" and has_text(n))
if not core:
    fail('no control named "Core speed" shows a text')
number = re.compile(r"\d+([.,]\d+)?")
if not number.fullmatch(text_of(core)):
    fail('"Core speed" reads %r' % text_of(core))
print('"Core speed" reads %s' % text_of(core))
if not spin(5, lambda: core_speeds):
    fail('"Core speed" announced no new figure')
if not number.fullmatch(core_speeds[-1]):
    fail('"Core speed" announced %r' % core_speeds[-1])
print('"Core speed" announced %s' % core_speeds[-1])

# The keyboard from start-up: the window takes the focus, as when the user switches to it.
subprocess.run(["xdotool", "windowfocus", "--sync", WINDOW], check=True)
if not spin(5, lambda: focused and focused[-1] == ("page tab", "CPU Info")):
    fail("the window's first focus is %s, not the tab 'CPU Info'" % focused[-1:])
print("%-10s -> page tab 'CPU Info'" % "(start)")
key("Tab", "push button", "ON")
key("Tab", "page tab", "CPU Benchmark")
key("Right", "page tab", "RAM Benchmark")
key("Right", "page tab", "Diagnostic")
key("Tab", "push button", "RUN")

cpu_test = find(application, lambda n: n.name == "CPU TEST")
passes = find(cpu_test, lambda n: labelled_by(n, "Pass:"))
run = find(cpu_test, lambda n: n.name == "RUN")
subprocess.run(["xdotool", "key", "space"], check=True)
if not spin(60, lambda: passes.name not in ("", "0")):
    fail("the CPU test counted no pass")
print("space      -> the CPU test runs: Pass: %s" % passes.name)
# RUN is disabled while the test runs, and the focus moves on to STOP.
if not spin(5, lambda: focused and focused[-1] == ("push button", "STOP")):
    fail("while the test runs the focus is on %s, not STOP" % focused[-1:])
subprocess.run(["xdotool", "key", "space"], check=True)
if not spin(60, lambda: run.getState().contains(pyatspi.STATE_SENSITIVE)):
    fail("the CPU test did not stop")
print("space      -> the CPU test stopped: Pass: %s, RUN enabled again" % passes.name)

key("Tab", "push button", "RUN")  # the memory test's, which is left alone
key("Tab", "push button", "STOP")
key("Tab", "push button", "CLOSE")
subprocess.run(["xdotool", "key", "space"], check=True)
print("space      -> CLOSE")
