#!/usr/bin/python3
"""The palette and "Preferencias" as a screen reader sees them, through AT-SPI.

Run on a private X display and session bus (tests/a11y/run.sh): starts the AT-SPI bus, the
program with Qt's accessibility on, fills a history of each kind, and walks the accessible trees.
    accessibility_tests.py <orvantide>
"""
import json
import os
import pathlib
import struct
import subprocess
import sys
import tempfile
import time
import unittest
import warnings
import zlib

import pyatspi
from gi.repository import GLib

warnings.filterwarnings("ignore", category=DeprecationWarning)  # pyatspi's own calls
PROGRAM = sys.argv.pop(1) if len(sys.argv) > 1 else "orvantide"
LIMIT = 30.0  # seconds; generous, the machine may be loaded


def wait_for(check, what, limit=LIMIT):
    deadline = time.monotonic() + limit
    while time.monotonic() < deadline:
        GLib.MainContext.default().iteration(False)
        value = check()
        if value:
            return value
        time.sleep(0.05)
    raise AssertionError(f"waited {limit} s for {what}")


def run(*args, stdin=None):
    return subprocess.run([PROGRAM, *args], input=stdin, capture_output=True, check=True,
                          timeout=LIMIT).stdout


def png(width, height):
    rows = b"".join(b"\0" + b"\x30\x80\xd0" * width for _ in range(height))
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


def states(node):
    return {pyatspi.stateToString(s) for s in node.getState().getStates()}


def walk(node):
    yield node
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            yield from walk(child)


def find(root, role=None, name=None, showing=True):
    for node in walk(root):
        if ((role is None or node.getRoleName() == role) and (name is None or node.name == name)
                and (not showing or "showing" in states(node))):
            return node
    return None


def own_windows():
    return subprocess.run(["xdotool", "search", "--onlyvisible", "--classname", "orvantide"],
                          capture_output=True, text=True).stdout.split()


def opening_a_menu(action):
    """Runs `action` and waits for the menu it opens: keys reach a menu only once it is there."""
    before = len(own_windows())
    action()
    wait_for(lambda: len(own_windows()) > before, "the menu on screen")


def keys(*names):
    subprocess.run(["xdotool", "key", "--delay", "80", *names], check=True, timeout=LIMIT)


class Events:
    """The AT-SPI events of some types, as (type, role, name, detail1) since the last clear."""

    def __init__(self, *types):
        self.seen = []
        self.menu_items = {}  # name: (states, key binding) of each menu item heard of
        pyatspi.Registry.registerEventListener(self._heard, *types)

    def _heard(self, event):
        try:
            source = event.source
            self.seen.append((event.type, source.getRoleName(), source.name, event.detail1))
            if source.getRoleName() in ("menu item", "check menu item"):
                self.menu_items[source.name] = (states(source),
                                                source.queryAction().getKeyBinding(0))
        except Exception:  # a source gone meanwhile
            pass

    def wait(self, what, match):
        return wait_for(lambda: [e for e in self.seen if match(*e)], what)


class Session:
    def __init__(self):
        self.work = pathlib.Path(tempfile.mkdtemp(prefix="orvantide-a11y."))
        self.bus = subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"])
        wait_for(lambda: pyatspi.Registry.getDesktop(0) is not None, "the AT-SPI registry")
        env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1")
        self.program = subprocess.Popen([PROGRAM], env=env)
        wait_for(lambda: self.answers(), "the program to answer")
        self.events = Events("object:state-changed:selected", "object:state-changed:focused",
                             "object:state-changed:showing",
                             "object:active-descendant-changed", "focus:", "window:activate")
        # One clip of each kind, the first pinned.
        pinned = run("add", stdin=b"uno fijado").decode().strip()
        run("pin", pinned)
        run("add", stdin=b"dos")
        run("add", stdin=b"#FF0000")
        for name in ("uno.txt", "dos.txt"):
            (self.work / name).write_text(name)
        self.copy("text/uri-list", "".join(f"file://{self.work / n}\r\n" for n in
                                           ("uno.txt", "dos.txt")).encode())
        self.copy("image/png", png(300, 200))
        wait_for(lambda: len(run("list").splitlines()) == 5, "five clips in the history")

    def answers(self):
        try:
            run("list")
            return True
        except (subprocess.CalledProcessError, subprocess.TimeoutExpired):
            return False

    def copy(self, mime, data):
        before = len(run("list").splitlines())
        owner = subprocess.Popen(["xclip", "-selection", "clipboard", "-t", mime, "-i"],
                                 stdin=subprocess.PIPE)
        owner.communicate(data, timeout=LIMIT)
        wait_for(lambda: len(run("list").splitlines()) > before, f"the {mime} copy recorded")

    def app(self):
        def lookup():
            desktop = pyatspi.Registry.getDesktop(0)
            for i in range(desktop.childCount):
                app = desktop.getChildAtIndex(i)
                if app is not None and app.name == "Orvantide":
                    return app
            return None
        return wait_for(lookup, "the program on the AT-SPI bus")

    def window(self, title):
        return wait_for(lambda: next((w for w in (self.app().getChildAtIndex(i) for i in
                                                  range(self.app().childCount))
                                      if w is not None and w.name == title
                                      and "showing" in states(w)), None),
                        f"the window «{title}»")

    def open_palette(self):
        run("toggle")
        palette = self.window("Orvantide")
        wait_for(lambda: "active" in states(palette), "the palette active")
        return palette

    def close(self):
        self.program.terminate()
        self.program.wait(timeout=LIMIT)
        self.bus.terminate()


SESSION = None


def setUpModule():
    global SESSION
    SESSION = Session()


def tearDownModule():
    SESSION.close()


class PaletteTests(unittest.TestCase):
    def setUp(self):
        self.palette = SESSION.open_palette()

    def tearDown(self):
        keys("Escape", "Escape")
        wait_for(lambda: find(SESSION.app(), name="Buscar") is None, "the palette closed")

    def rows(self):
        return [n for n in walk(self.palette) if n.getRoleName() == "list item"]

    def test_windows_say_what_they_are(self):
        self.assertIn(self.palette.getRoleName(), {"frame", "window", "dialog"})
        self.assertEqual(self.palette.name, "Orvantide")

    def test_the_selected_row_is_reported_as_the_selection_moves(self):
        rows = self.rows()
        self.assertEqual(len(rows), 5)
        self.assertEqual([("selected" in states(r), "focused" in states(r)) for r in rows[:2]],
                         [(True, True), (False, False)])
        SESSION.events.seen.clear()
        keys("Down")
        second = rows[1].name
        SESSION.events.wait("the second row selected", lambda kind, role, name, on:
                            kind == "object:state-changed:selected" and name == second and on)
        SESSION.events.wait("the second row as the focus", lambda kind, role, name, on:
                            kind in ("object:state-changed:focused",
                                     "object:active-descendant-changed") and name == second)
        self.assertIn("selected", states(rows[1]))
        self.assertNotIn("selected", states(rows[0]))
        # Typing narrows the list; its first row is reported as the selection.
        SESSION.events.seen.clear()
        keys("f", "f", "0")
        SESSION.events.wait("the match selected", lambda kind, role, name, on:
                            kind == "object:state-changed:selected" and name == "#FF0000" and on)

    def test_each_row_says_its_kind_and_state(self):
        names = [r.name for r in self.rows()]
        descriptions = [r.description for r in self.rows()]
        self.assertTrue(names[0].startswith("uno fijado"), names)
        self.assertIn("fijado", descriptions[0])
        image = next(n for n in names if n.startswith("Imagen"))
        self.assertEqual(image, "Imagen · 300×200")
        colour = names.index("#FF0000")
        self.assertIn("Color", descriptions[colour])
        files = next(n for n in names if "archivos" in n)
        self.assertEqual(files, "2 archivos · uno.txt")
        self.assertFalse([n for n in names if "file://" in n], names)
        self.assertEqual([d.rsplit(" · ", 1)[-1] for d in descriptions],
                         ["Ctrl+1", "Ctrl+2", "Ctrl+3", "Ctrl+4", "Ctrl+5"])

    def test_everything_is_reached_by_keyboard(self):
        filters = [n for n in walk(self.palette) if n.getRoleName() == "check box"]
        self.assertEqual([f.name for f in filters][:2], ["Todo", "Texto"], [f.name for f in filters])
        self.assertEqual([("checked" in states(f)) for f in filters],
                         [True] + [False] * (len(filters) - 1))
        footer = [find(self.palette, "push button", n) for n in
                  ("Limpiar historial no fijado", "Preferencias")]
        def focused():
            node = next((n for n in walk(self.palette) if "focused" in states(n)
                         and n.getRoleName() != "list item"), None)
            return (node.getRoleName(), node.name) if node else None

        stops = [focused()]
        for _ in range(len(filters) + 3):  # field, each filter, the footer's two: round once
            keys("Tab")
            stops.append(wait_for(lambda: focused() not in (None, stops[-1]) and focused(),
                                  f"the focus past {stops[-1]}"))
        for control in filters + footer:
            self.assertIn((control.getRoleName(), control.name), stops)
        self.assertEqual(stops[-1], stops[0], "round to the field")
        # Space on a focused filter applies it and marks it checked.
        keys("Tab", "Tab")
        wait_for(lambda: focused() == ("check box", "Texto"), "the text filter focused")
        keys("space")
        wait_for(lambda: "checked" in states(find(self.palette, "check box", "Texto")),
                 "the text filter checked")
        # The row's menu from the keyboard, with the search field focused.
        keys("Escape")
        wait_for(lambda: find(SESSION.app(), name="Buscar") is None, "the palette closed")
        SESSION.open_palette()
        # A popup menu is not among the program's windows: it is heard as its items take focus.
        for key in ("shift+F10", "Menu"):
            SESSION.events.seen.clear()
            opening_a_menu(lambda: keys(key))
            keys("Down", "Down", "Down")
            items = SESSION.events.wait(f"the row's menu after {key}", lambda kind, role, name, on:
                                        role == "menu item" and kind == "focus:" and
                                        name == "Eliminar")
            names = [name for kind, role, name, on in SESSION.events.seen
                     if role == "menu item" and kind == "focus:"]
            self.assertEqual(names[:3], ["Copiar y pegar", "Desfijar", "Eliminar"], names)
            self.assertTrue(items)
            before = len(own_windows())
            keys("Escape")
            wait_for(lambda: len(own_windows()) < before, "the menu closed")
            self.assertIsNotNone(find(SESSION.app(), name="Buscar"), "Escape closes only the menu")

    def test_the_error_banner_is_an_alert(self):
        banners = [n for n in walk(self.palette) if n.getRoleName() == "alert"]
        self.assertEqual(len(banners), 1, [n.getRoleName() for n in walk(self.palette)])
        # A picture whose file went: choosing it shows the banner, which a screen reader speaks
        # as an alert coming into view.
        for picture in pathlib.Path(os.environ["XDG_DATA_HOME"]).rglob("*.png"):
            picture.unlink()
        SESSION.events.seen.clear()
        keys("Down", "Return")
        SESSION.events.wait("the alert shown", lambda kind, role, name, on:
                            kind == "object:state-changed:showing" and role == "alert" and on
                            and name == "La imagen original ya no está disponible.")


class TrayMenuTests(unittest.TestCase):
    def test_its_items_have_mnemonics_and_pausing_says_its_state(self):
        windows = own_windows()
        self.assertTrue(windows, "the tray icon is on screen")
        run("pause")  # the item then reads as checked
        self.addCleanup(run, "resume")
        SESSION.events.seen.clear()
        SESSION.events.menu_items.clear()
        opening_a_menu(lambda: subprocess.run(["xdotool", "mousemove", "--window", windows[-1],
                                               "8", "8", "click", "3"], check=True))
        keys("Up", "Up", "Up", "Up", "Up", "Up")
        wait_for(lambda: "Pausar captura" in SESSION.events.menu_items, "the pause item heard")
        keys("Escape")
        items = SESSION.events.menu_items
        self.assertIn("checked", items["Pausar captura"][0], items)
        for name, binding in (("Pausar captura", "ALT+P"), ("Preferencias…", "ALT+R"),
                              ("Buscar actualizaciones…", "ALT+A")):
            self.assertEqual(items[name][1].upper(), binding, (name, items[name]))


class SettingsTests(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        palette = SESSION.open_palette()
        find(palette, "push button", "Preferencias").queryAction().doAction(0)
        cls.window = SESSION.window("Preferencias")

    @classmethod
    def tearDownClass(cls):
        keys("Escape")

    def test_the_window_says_what_it_is_and_every_stop_is_named(self):
        self.assertIn(self.window.getRoleName(), {"dialog", "frame", "window"})
        header = find(self.window, "heading")
        self.assertIsNotNone(header)
        self.assertEqual(header.name, "Orvantide, Preferencias")
        shortcut = find(self.window, "push button", "Cambiar el atajo (Ctrl+Alt+V)")
        self.assertIsNotNone(shortcut, [n.name for n in walk(self.window)
                                        if n.getRoleName() == "push button"])
        box = find(self.window, "check box", "Pegar automáticamente")
        self.assertEqual(box.description, "Oculta Orvantide y pega en la aplicación anterior.")
        bindings = {n.name: n.queryAction().getKeyBinding(0) for n in walk(self.window)
                    if n.getRoleName() in ("check box", "push button")
                    and "showing" in states(n)}
        self.assertEqual(bindings["Pegar automáticamente"].upper(), "ALT+P")
        self.assertEqual(bindings["Pausar captura"].upper(), "ALT+U")
        unnamed = [n.getRoleName() for n in walk(self.window)
                   if {"focusable", "showing"} <= states(n) and not n.name]
        self.assertEqual(unnamed, [])

    def test_permissions_is_a_dialog_that_escape_closes(self):
        find(self.window, "push button", "Permisos y servicios del escritorio…") \
            .queryAction().doAction(0)
        permissions = SESSION.window("Permisos")
        self.assertEqual(permissions.getRoleName(), "dialog")
        wait_for(lambda: "active" in states(permissions), "Permisos active")
        keys("Escape")
        wait_for(lambda: "showing" not in states(permissions), "Permisos closed by Escape")

    def test_an_assistive_toggle_applies_the_setting(self):
        box = find(self.window, "check box", "Pegar automáticamente")
        before = "checked" in states(box)
        box.queryAction().doAction(0)
        wait_for(lambda: ("checked" in states(box)) != before, "the box toggled")
        defaults = pathlib.Path(os.environ["XDG_CONFIG_HOME"]).rglob("defaults.json")
        wait_for(lambda: any(json.loads(p.read_text()).get("autoPaste") == (not before)
                             for p in pathlib.Path(os.environ["XDG_CONFIG_HOME"])
                             .rglob("defaults.json")), "the setting written")
        self.assertIsNotNone(defaults)


if __name__ == "__main__":
    unittest.main(verbosity=2)
