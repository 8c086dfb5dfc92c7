#!/usr/bin/python3
# Gives Mutter's headless seat a keyboard: a remote-desktop session of Mutter's own, started and
# held for as long as this process runs (Mutter ends the session when its caller leaves the bus).
# Prints "ready" once the keyboard exists.
import signal
import sys

from gi.repository import Gio, GLib

bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
for _ in range(200):
    try:
        reply = bus.call_sync("org.gnome.Mutter.RemoteDesktop", "/org/gnome/Mutter/RemoteDesktop",
                              "org.gnome.Mutter.RemoteDesktop", "CreateSession", None,
                              GLib.VariantType("(o)"), Gio.DBusCallFlags.NONE, 5000, None)
        break
    except GLib.Error as error:
        last = error
        GLib.usleep(100_000)
else:
    sys.exit(f"mutter-keyboard: no remote-desktop session: {last.message}")
session = reply.unpack()[0]
bus.call_sync("org.gnome.Mutter.RemoteDesktop", session, "org.gnome.Mutter.RemoteDesktop.Session",
              "Start", None, None, Gio.DBusCallFlags.NONE, 5000, None)
# The keyboard shows on the seat once it has been used: a Shift tap, which types nothing.
for pressed in (True, False):
    bus.call_sync("org.gnome.Mutter.RemoteDesktop", session,
                  "org.gnome.Mutter.RemoteDesktop.Session", "NotifyKeyboardKeysym",
                  GLib.Variant("(ub)", (0xFFE1, pressed)), None, Gio.DBusCallFlags.NONE, 5000, None)
print("ready", flush=True)

loop = GLib.MainLoop()
GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGTERM, loop.quit)
bus.signal_subscribe("org.gnome.Mutter.RemoteDesktop", "org.gnome.Mutter.RemoteDesktop.Session",
                     "Closed", session, None, Gio.DBusSignalFlags.NONE,
                     lambda *args: loop.quit())
loop.run()
