#!/usr/bin/python3
"""The tray icon on a real panel: lxqt-panel (its statusnotifier plugin) or gtk-sni-tray-standalone beside
status-notifier-watcher, with openbox, on the X display and session bus this script is started in (run it as
`dbus-run-session -- xvfb-run -a -s "-screen 0 1280x1024x24" real_panel_test.py --panel lxqt --api32 PATH`).

The `api32 tray` command shows a two-colour icon (left half red, right half blue) and prints every message its
window receives. Checked through screenshots and xdotool: the icon shows the right way round, a left click
reaches the host, a right click reaches the host and opens the menu, and choosing the menu's item reaches the
host; then the panel and its watcher are ended and started again, and the icon must come back and answer. Exit status 0 when every check holds, 1 with the failed check, 77 (skipped) when the panel cannot start.
"""
import argparse
import os
import queue
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import threading
import time

SKIP = 77
RED = (255, 0, 0)
BLUE = (0, 0, 255)


def fail(what):
    print("FAILED:", what, flush=True)
    sys.exit(1)


def skip(why):
    print("SKIPPED:", why, flush=True)
    sys.exit(SKIP)


def wait_for(condition, limit=15.0, step=0.1):
    deadline = time.monotonic() + limit
    while time.monotonic() < deadline:
        value = condition()
        if value:
            return value
        time.sleep(step)
    return None


def write_two_colour_ico(path, side=32):
    """A 32-bit BMP icon, rows bottom-up as .ico files store them: left half red, right half blue."""
    pixels = bytearray()
    for _ in range(side):
        for x in range(side):
            pixels += bytes((0, 0, 255, 255)) if x < side // 2 else bytes((255, 0, 0, 255))  # B, G, R, A
    mask = bytes(((side + 31) // 32) * 4 * side)
    header = struct.pack("<IiiHHIIiiII", 40, side, side * 2, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    image = header + pixels + mask
    with open(path, "wb") as f:
        f.write(struct.pack("<HHH", 0, 1, 1))
        f.write(struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(image), 6 + 16))
        f.write(image)


def screenshot(display):
    """The root window as (width, height, rows of RGB bytes), read from a binary PPM."""
    data = subprocess.run(["import", "-display", display, "-window", "root", "-depth", "8", "ppm:-"], capture_output=True,
                          timeout=30, check=True).stdout
    fields = []
    at = 0
    while len(fields) < 4:
        while data[at:at + 1].isspace():
            at += 1
        if data[at:at + 1] == b"#":
            at = data.index(b"\n", at) + 1
            continue
        end = at
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[at:end])
        at = end
    at += 1
    width, height, top = int(fields[1]), int(fields[2]), int(fields[3])
    if fields[0] != b"P6" or top != 255:
        fail("screenshot is not an 8-bit PPM")
    return width, height, data[at:at + width * height * 3]


def near(pixel, colour, tolerance=60):
    return all(abs(a - b) <= tolerance for a, b in zip(pixel, colour))


def find_icon(display):
    """The first icon on the panel as its box: a run of red pixels with a run of blue ones right after it on
    the same rows (the icon the right way round); ("wrong way round", ...) when blue comes first; or None. A
    panel that draws an item twice shows the same icon again further on: only the first one is taken."""
    width, height, rgb = screenshot(display)

    def pixel(x, y):
        at = (y * width + x) * 3
        return rgb[at:at + 3]

    for y in range(0, min(height, 200)):  # the panels are at the top of the screen
        for x in range(width):
            p = pixel(x, y)
            if near(p, BLUE):
                # blue before any red: the icon is mirrored (or its channels swapped)
                if x + 1 < width and not near(pixel(x + 1, y), RED):
                    return ("wrong way round", (x, y), None)
            if not near(p, RED):
                continue
            rx1 = x
            while rx1 + 1 < width and near(pixel(rx1 + 1, y), RED):
                rx1 += 1
            bx1 = rx1
            while bx1 + 1 < width and near(pixel(bx1 + 1, y), BLUE):
                bx1 += 1
            red_width, blue_width = rx1 - x + 1, bx1 - rx1
            if red_width < 4 or abs(red_width - blue_width) > 2:
                return ("wrong way round", (x, y, rx1), (rx1 + 1, y, bx1))
            y1 = y
            while y1 + 1 < height and near(pixel(x, y1 + 1), RED) and near(pixel(bx1, y1 + 1), BLUE):
                y1 += 1
            return (x, y, bx1, y1)
    return None


class Host:
    """The `api32 tray` command; its output lines are collected as they come."""

    def __init__(self, api32, icon):
        self.lines = queue.Queue()
        self.seen = []
        self.process = subprocess.Popen([api32, "tray", icon, "real panel test", "--menu", "--seconds", "90"],
                                        stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.process.stdout:
            self.lines.put(line.strip())

    def wait_line(self, text, limit=10.0):
        deadline = time.monotonic() + limit
        while time.monotonic() < deadline:
            try:
                line = self.lines.get(timeout=max(0.05, deadline - time.monotonic()))
            except queue.Empty:
                break
            self.seen.append(line)
            if line == text:
                return True
        return False

    def stop(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()


def bus_name_owned(name):
    return subprocess.run(["gdbus", "wait", "--session", "--timeout", "1", name], capture_output=True,
                          timeout=10).returncode == 0


def visible_windows(display):
    out = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", ""], capture_output=True, text=True,
                         timeout=10, env=dict(os.environ, DISPLAY=display)).stdout
    return set(out.split())


def xdotool(display, *args):
    subprocess.run(["xdotool", *args], timeout=10, check=True, env=dict(os.environ, DISPLAY=display))


def stop(processes):
    for p in reversed(processes):  # only the processes this script started
        if p.poll() is None:
            p.terminate()
            try:
                p.wait(timeout=10)
            except subprocess.TimeoutExpired:
                p.kill()
                p.wait()


def click_until(display, host, button, line):
    """Clicks and waits for the host's line; a panel under load may not take input at once, so a click that
    brought nothing is given once more (a click of its own, long after the first)."""
    for _ in range(2):
        xdotool(display, "click", button)
        if host.wait_line(line, 8.0):
            return True
    return False


def start_panel(kind, home, started):
    env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"))
    log = open(os.path.join(home, kind + ".log"), "w")
    if kind == "lxqt":
        if not shutil.which("lxqt-panel"):
            skip("lxqt-panel is not installed")
        os.makedirs(os.path.join(home, ".config", "lxqt"), exist_ok=True)
        with open(os.path.join(home, ".config", "lxqt", "panel.conf"), "w") as f:
            f.write("[General]\n__userfile__=true\n\n[panel1]\nposition=Top\npanelSize=40\niconSize=32\n"
                    "plugins=statusnotifier\n\n[statusnotifier]\ntype=statusnotifier\n")
        started.append(subprocess.Popen(["lxqt-panel"], env=env, stdout=log, stderr=log))
    else:
        for tool in ("gtk-sni-tray-standalone", "status-notifier-watcher"):
            if not shutil.which(tool):
                skip(tool + " is not installed")
        started.append(subprocess.Popen(["status-notifier-watcher"], env=env, stdout=log, stderr=log))
        if not wait_for(lambda: bus_name_owned("org.kde.StatusNotifierWatcher"), 15):
            skip("status-notifier-watcher did not take its name")
        started.append(subprocess.Popen(["gtk-sni-tray-standalone", "--top", "-s", "40"], env=env, stdout=log,
                                        stderr=log))
    if not wait_for(lambda: bus_name_owned("org.kde.StatusNotifierWatcher"), 20):
        skip(kind + " panel did not start its watcher")
    # The panel's host side registers once its window is up.
    time.sleep(0.2)
    for p in started:
        if p.poll() is not None:
            log.flush()
            skip(kind + " panel ended at start: " + open(log.name).read()[-500:])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--panel", choices=["lxqt", "gtk-sni-tray"], required=True)
    parser.add_argument("--api32", required=True)
    args = parser.parse_args()
    display = os.environ.get("DISPLAY")
    if not display:
        skip("no X display")
    if not os.environ.get("DBUS_SESSION_BUS_ADDRESS"):
        skip("no session bus")
    for tool in ("openbox", "xdotool", "import", "gdbus"):
        if not shutil.which(tool):
            skip(tool + " is not installed")

    started = []
    host = None
    home = tempfile.mkdtemp(prefix="api32-panel-")
    try:
        started.append(subprocess.Popen(["openbox", "--sm-disable"], stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL, env=dict(os.environ, HOME=home)))
        start_panel(args.panel, home, started)
        icon = os.path.join(home, "two-colours.ico")
        write_two_colour_ico(icon)
        host = Host(args.api32, icon)

        box = wait_for(lambda: find_icon(display), 20, 0.3)
        if not box:
            fail("the icon does not show on the panel (no red and blue pixels side by side)")
        if box[0] == "wrong way round":
            fail("the icon shows, but not as drawn: red %s, blue %s" % (box[1], box[2]))
        x = (box[0] + box[2]) // 2
        y = (box[1] + box[3]) // 2
        print("icon at", box, flush=True)

        xdotool(display, "mousemove", str(x), str(y))
        time.sleep(0.3)
        if not click_until(display, host, "1", "WM_LBUTTONUP"):
            fail("a left click did not reach the host; it printed %s" % host.seen)
        if "WM_LBUTTONDOWN" not in host.seen:
            fail("a left click came without its button-down message: %s" % host.seen)
        time.sleep(1.0)  # past the double-click time: the next click is a click of its own

        before = visible_windows(display)
        if not click_until(display, host, "3", "WM_RBUTTONUP"):
            fail("a right click did not reach the host; it printed %s" % host.seen)
        menu = wait_for(lambda: visible_windows(display) - before, 10)
        if not menu:
            fail("a right click opened no menu")
        print("menu windows", sorted(menu), flush=True)
        time.sleep(0.5)
        xdotool(display, "key", "Down", "Return")
        if not host.wait_line("menu: Test"):
            fail("choosing the menu's item did not reach the host; it printed %s" % host.seen)

        # The panel (and its watcher) ends and starts again: the icon registers again by itself and answers.
        stop(started[1:])
        del started[1:]
        if not wait_for(lambda: not find_icon(display), 10, 0.3):
            fail("the icon stayed on the screen after the panel ended")
        start_panel(args.panel, home, started)
        box = wait_for(lambda: find_icon(display), 30, 0.3)
        if not box or box[0] == "wrong way round":
            fail("the icon did not come back after the panel restarted: %s" % (box,))
        time.sleep(1.0)
        xdotool(display, "mousemove", str((box[0] + box[2]) // 2), str((box[1] + box[3]) // 2))
        time.sleep(0.3)
        if not click_until(display, host, "1", "WM_LBUTTONUP"):
            fail("a left click after the restart did not reach the host; it printed %s" % host.seen)
        print("OK", args.panel, flush=True)
    finally:
        if host:
            host.stop()
        stop(started)
        shutil.rmtree(home, ignore_errors=True)


if __name__ == "__main__":
    main()
