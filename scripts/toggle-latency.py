#!/usr/bin/env python3
"""How fast a running Orvantide shows its palette, whole program on an X display (see
scripts/toggle-latency.sh, which provides a private one).

    scripts/toggle-latency.py PROGRAM [times] [clips] [characters]

Fills a history, starts the program with the XDG folders of the environment, waits until it
answers `list --limit 1`, then `times` rounds of each:
  toggle   exec of `PROGRAM --toggle` until the palette's window is mapped (MapNotify)
  hot key  Ctrl+Alt+V sent with XTest until the palette's window is mapped
  start    exec of `PROGRAM --version` until it ended (a process start alone)
and closes the palette with `--toggle` after each opening. Prints the median of each, in ms.
"""
import fcntl
import glob
import os
import select
import statistics
import subprocess
import sys
import tempfile
import time

from Xlib import X, XK, display as xdisplay
from Xlib.ext import xtest

LIMIT_S = 60  # far above any load seen; reaching it fails the run


def fail(message, log=None):
    print(f"toggle-latency: {message}", file=sys.stderr)
    if log:
        with open(log, errors="replace") as lines:
            for line in lines.readlines()[-15:]:
                print(f"  {line.rstrip()[:300]}", file=sys.stderr)
    sys.exit(1)


def instance_locked(runtime):
    for path in glob.glob(os.path.join(runtime, "orvantide-*.socket.lock")):
        with open(path) as lock:
            try:
                fcntl.flock(lock, fcntl.LOCK_SH | fcntl.LOCK_NB)
            except BlockingIOError:
                return True
    return False


def wait_ready(program, process, log):
    """As the tests wait: the instance lock is held, then `list` answers."""
    runtime = os.environ["XDG_RUNTIME_DIR"]
    deadline = time.monotonic() + LIMIT_S
    while not instance_locked(runtime):
        if process.poll() is not None:
            fail("the program quit", log)
        if time.monotonic() > deadline:
            fail("no instance lock within a minute", log)
        time.sleep(0.05)
    while subprocess.run([program, "list", "--limit", "1"], stdout=subprocess.DEVNULL,
                         stderr=subprocess.DEVNULL).returncode != 0:
        if time.monotonic() > deadline:
            fail("`list` did not answer within a minute", log)
        time.sleep(0.05)


def named(connection, window, name):
    try:
        if window.get_wm_name() == name:
            return window
        for child in window.query_tree().children:
            found = named(connection, child, name)
            if found:
                return found
    except Exception:  # a window that went away meanwhile
        pass
    return None


def next_event(connection, accept, what, limit=LIMIT_S):
    """The first pending or arriving event that `accept` takes, with its arrival time; without
    `what`, None when the limit passed first."""
    deadline = time.monotonic() + limit
    while True:
        while connection.pending_events():
            event = connection.next_event()
            if accept(event):
                return event, time.monotonic()
        left = deadline - time.monotonic()
        if left <= 0:
            if what is None:
                return None
            fail(f"no {what} within {limit} s")
        select.select([connection.fileno()], [], [], min(left, 0.5))


def main():
    program = sys.argv[1]
    times = int(sys.argv[2]) if len(sys.argv) > 2 else 20
    clips = sys.argv[3] if len(sys.argv) > 3 else "2000"
    characters = sys.argv[4] if len(sys.argv) > 4 else "200"
    here = os.path.dirname(os.path.abspath(__file__))
    folder = os.path.join(os.environ["XDG_DATA_HOME"], "com.quarnelbrisk.orvantide")
    config = os.path.join(os.environ["XDG_CONFIG_HOME"], "com.quarnelbrisk.orvantide")
    os.makedirs(config, mode=0o700, exist_ok=True)
    # Any capture would prune a bigger history to the default 300.
    with open(os.path.join(config, "defaults.json"), "w") as defaults:
        defaults.write('{\n    "maxItems": 2000\n}\n')
    subprocess.run([sys.executable, os.path.join(here, "big-history-fill.py"),
                    os.path.join(folder, "history.db"), clips, characters],
                   check=True, stdout=subprocess.DEVNULL)

    log = tempfile.mktemp(prefix="orvantide-toggle-latency.", suffix=".log")
    with open(log, "w") as err:
        process = subprocess.Popen([program], stdout=subprocess.DEVNULL, stderr=err)
    try:
        wait_ready(program, process, log)
        connection = xdisplay.Display()
        root = connection.screen().root
        root.change_attributes(event_mask=X.SubstructureNotifyMask)
        connection.sync()

        def toggle():
            subprocess.run([program, "--toggle"], check=True, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)

        # The first opening finds the palette's window; it is the same one each time after.
        toggle()
        palette = None
        deadline = time.monotonic() + LIMIT_S
        while palette is None:
            next_event(connection, lambda e: e.type == X.MapNotify, "palette window")
            palette = named(connection, root, "Orvantide")
            if time.monotonic() > deadline:
                fail("no window named Orvantide", log)
        palette.change_attributes(event_mask=X.StructureNotifyMask)
        connection.sync()
        if palette.get_attributes().map_state != X.IsViewable:
            fail("the palette's window is not mapped", log)
        mapped = lambda e: e.type == X.MapNotify and e.window.id == palette.id
        unmapped = lambda e: e.type == X.UnmapNotify and e.window.id == palette.id

        def close():
            toggle()
            next_event(connection, unmapped, "palette closing")
            time.sleep(0.2)  # past what a closing leaves to do

        close()

        toggles = []
        for _ in range(times):
            started = time.monotonic()
            subprocess.Popen([program, "--toggle"], stdout=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL).wait()
            # The command may end before or after the window maps: the event keeps its time.
            _, at = next_event(connection, mapped, "palette after --toggle")
            toggles.append((at - started) * 1000)
            close()

        # Ctrl+Alt+V, the default hot key, as the X server delivers a real key press.
        codes = [connection.keysym_to_keycode(XK.string_to_keysym(name))
                 for name in ("Control_L", "Alt_L", "v")]
        hot_keys = []
        for _ in range(times):
            started = time.monotonic()
            for code in codes:
                xtest.fake_input(connection, X.KeyPress, code)
            for code in reversed(codes):
                xtest.fake_input(connection, X.KeyRelease, code)
            connection.flush()
            # The grab may be refused (the key taken by another client): no row then.
            arrived = next_event(connection, mapped, None, limit=10)
            if arrived is None:
                hot_keys = []
                print("toggle-latency: Ctrl+Alt+V did not open the palette", file=sys.stderr)
                break
            hot_keys.append((arrived[1] - started) * 1000)
            close()

        starts = []
        for _ in range(times):
            started = time.monotonic()
            subprocess.run([program, "--version"], check=True, stdout=subprocess.DEVNULL)
            starts.append((time.monotonic() - started) * 1000)
    finally:
        process.terminate()
        process.wait()

    print(f"history: {clips} clips of {characters} characters; {times} rounds each")
    print(f"toggle median ms: {statistics.median(toggles):.2f}")
    if hot_keys:
        print(f"hot key median ms: {statistics.median(hot_keys):.2f}")
    print(f"start median ms: {statistics.median(starts):.2f}")


if __name__ == "__main__":
    main()
