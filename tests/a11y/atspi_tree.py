#!/usr/bin/python3
"""Starts the real program in a scratch copy of its program folder and reads its window through the
at-spi accessibility tree, as a screen reader does: the main window must be a window (not a dialog),
and every control that takes the focus must carry a name without blanks around it.

Run inside a private D-Bus session and an X server of its own:
    dbus-run-session -- xvfb-run -a -s "-screen 0 1280x800x24" /usr/bin/python3 atspi_tree.py PROGRAM_DIR
"""

import os
import shutil
import subprocess
import sys
import tempfile
import time

import pyatspi


def find_application(name, timeout=20.0):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            if app is not None and app.name == name and app.childCount > 0:
                return app
        time.sleep(0.3)
    return None


def walk(node, depth=0):
    yield node, depth
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            yield from walk(child, depth + 1)


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    program = os.path.abspath(sys.argv[1])
    with tempfile.TemporaryDirectory() as scratch:
        folder = os.path.join(scratch, "program")
        shutil.copytree(program, folder, symlinks=True)
        with open(os.path.join(folder, "ParlomarClient.ini"), "w") as settings:
            settings.write("[General]\nShowTray=0\n")
        env = dict(os.environ)
        env.update({
            "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1",
            "QT_ACCESSIBILITY": "1",
            "QT_QPA_PLATFORM": "xcb",
            "XDG_CONFIG_HOME": os.path.join(scratch, "config"),
            "XDG_DATA_HOME": os.path.join(scratch, "data"),
            "XDG_RUNTIME_DIR": "",
            "TMPDIR": scratch,
        })
        client = subprocess.Popen([os.path.join(folder, "ParlomarClient")], env=env,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            app = find_application("ParlomarClient")
            if app is None:
                print("FAIL: the program did not appear in the accessibility tree")
                return 1
            problems = []
            windows = [app.getChildAtIndex(i) for i in range(app.childCount)]
            main_windows = [w for w in windows if w is not None and w.name.startswith("ParlomarClient")]
            if not main_windows:
                problems.append("no main window in the tree")
            for window in main_windows:
                role = window.getRole()
                if role not in (pyatspi.ROLE_FRAME, pyatspi.ROLE_WINDOW):
                    problems.append("main window has the role %s" % window.getRoleName())
                focusable = 0
                for node, depth in walk(window):
                    states = node.getState()
                    if not (states.contains(pyatspi.STATE_FOCUSABLE) and states.contains(pyatspi.STATE_SHOWING)):
                        continue
                    focusable += 1
                    name = node.name or ""
                    print("%s%s %r" % ("  " * depth, node.getRoleName(), name))
                    if not name:
                        problems.append("a focusable %s has no name" % node.getRoleName())
                    elif name != name.strip():
                        problems.append("the name %r has blanks around it" % name)
                if focusable == 0:
                    problems.append("no focusable control in the main window")
            for problem in problems:
                print("FAIL:", problem)
            if not problems:
                print("OK: the main window is a window and every focusable control has a name")
            return 1 if problems else 0
        finally:
            client.terminate()
            try:
                client.wait(timeout=10)
            except subprocess.TimeoutExpired:
                client.kill()
                client.wait()


if __name__ == "__main__":
    sys.exit(main())
