#!/usr/bin/python3
"""A host in Python that drives the tray through libapi32.so's entry points only (ctypes, no C++ headers).

Run in a session bus and an X server of its own (dbus-run-session -- xvfb-run -a python_tray_host.py LIB). With
status-notifier-watcher as the panel's watcher and gdbus as the clicking panel: a window made through the entry
points, the icon added for it, left clicks reaching the window's callback and then its queue, the menu's item
read, changed and chosen (its clicked event reaching the host), the icon removed; memory blocks made, filled
and handed to uo_nv_devil.ildeleteimages; the "constructor" event of the tray and of its menu. Exit status 0 when every
check holds, 77 when the watcher cannot start; the first failed check is printed.
"""
import ctypes as C
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time

from api32_ctypes import (API32_BOOLEAN, API32_E_OBJECT, API32_LONG, API32_OBJECT, API32_UINT, Value, call, check, klass,
                          load, string)

SKIP = 77
WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP = 0x200, 0x201, 0x202


class Message(C.Structure):
    _fields_ = [("hwnd", C.c_uint32), ("message", C.c_uint32), ("wparam", C.c_uint64), ("lparam", C.c_int64)]


MESSAGE_CALLBACK = C.CFUNCTYPE(None, C.c_void_p, C.POINTER(Message), C.c_void_p)
EVENT_CALLBACK = C.CFUNCTYPE(None, C.c_void_p, C.c_char_p, C.c_void_p)

lib = load(sys.argv[1])
lib.api32_window_create.restype = C.c_void_p
lib.api32_window_create.argtypes = [C.c_char_p]
lib.api32_window_destroy.argtypes = [C.c_void_p]
lib.api32_window_handle.restype = C.c_uint32
lib.api32_window_handle.argtypes = [C.c_void_p]
lib.api32_window_set_callback.argtypes = [C.c_void_p, MESSAGE_CALLBACK, C.c_void_p]
lib.api32_window_next_message.argtypes = [C.c_void_p, C.POINTER(Message)]
lib.api32_pump.argtypes = [C.c_int32]
lib.api32_set_event_callback.argtypes = [C.c_void_p, C.c_char_p, C.c_char_p, EVENT_CALLBACK, C.c_void_p]
lib.api32_local_alloc.restype = C.c_uint32
lib.api32_local_alloc.argtypes = [C.c_uint32, C.c_size_t]
lib.api32_local_free.restype = C.c_uint32
lib.api32_local_free.argtypes = [C.c_uint32]
lib.api32_local_size.restype = C.c_size_t
lib.api32_local_size.argtypes = [C.c_uint32]
lib.api32_local_write.argtypes = [C.c_uint32, C.c_size_t, C.c_void_p, C.c_size_t]
lib.api32_local_read.argtypes = [C.c_uint32, C.c_size_t, C.c_void_p, C.c_size_t]
lib.api32_last_error.restype = C.c_char_p


# The programs this host starts run without the sanitizer runtimes a sanitizer build preloads into Python.
TOOL_ENV = {k: v for k, v in os.environ.items() if k not in ("LD_PRELOAD", "ASAN_OPTIONS")}


def pump_until(condition, limit=15.0):
    deadline = time.monotonic() + limit
    while time.monotonic() < deadline:
        if condition():
            return True
        lib.api32_pump(50)
    return condition()


def gdbus(*args):
    """Runs a gdbus call while the library's main loop keeps running (the item answers from it)."""
    p = subprocess.Popen(["gdbus", "call", "--session", *args], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                         text=True, env=TOOL_ENV)
    pump_until(lambda: p.poll() is not None, 15)
    if p.poll() is None:
        p.kill()
    out, err = p.communicate()
    return p.returncode, out.strip(), err.strip()


def registered_items():
    rc, out, _ = gdbus("--dest", "org.kde.StatusNotifierWatcher", "--object-path", "/StatusNotifierWatcher",
                       "--method", "org.freedesktop.DBus.Properties.Get", "org.kde.StatusNotifierWatcher",
                       "RegisteredStatusNotifierItems")
    if rc != 0:
        return []
    # (<['name', ...]>,) -> the bus names (with any "/path" the watcher appends)
    return [part.split("/")[0] for part in out.split("'")[1::2]]


def item_call(item, path, method, *args):
    return gdbus("--dest", item, "--object-path", path, "--method", method, "--", *args)


def write_ico(path, side=16):
    pixels = bytes((0, 0, 255, 255)) * (side * side)
    mask = bytes(((side + 31) // 32) * 4 * side)
    image = struct.pack("<IiiHHIIiiII", 40, side, side * 2, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    image += pixels + mask
    with open(path, "wb") as f:
        f.write(struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(image), 22))
        f.write(image)


def variable(info, obj, name):
    r = info.get_variable(obj, name.encode())
    check(r.contents.status == 0, "variable %s: %s" % (name, r.contents.error))
    v = r.contents.value
    value = (v.object, v.type_name.decode() if v.type_name else "", v.is_null)
    lib.api32_release(r)
    return value


def memory_blocks():
    block = lib.api32_local_alloc(0x40, 8)
    check(block != 0 and lib.api32_local_size(block) == 8, "an 8-byte block")
    names = (C.c_uint32 * 2)(7, 9)
    check(lib.api32_local_write(block, 0, names, 8) == 1, "two image names written")
    check(lib.api32_local_write(block, 6, names, 4) == 0, "a write past the block's end refused")
    back = (C.c_uint32 * 2)()
    check(lib.api32_local_read(block, 0, back, 8) == 1 and list(back) == [7, 9], "the names read back")
    devil = klass("uo_nv_devil")
    d = devil.create()
    r = call(devil, d, "ildeleteimages", Value(type=API32_UINT, i=2), Value(type=API32_LONG, i=block))
    lib.api32_release(r)
    devil.destroy(d)
    check(lib.api32_local_free(block) == 0, "the block freed")
    check(lib.api32_local_free(block) == block and lib.api32_local_size(block) == 0, "a freed block is no block")


def main():
    if not shutil.which("status-notifier-watcher") or not shutil.which("gdbus"):
        print("SKIPPED: status-notifier-watcher or gdbus is not installed")
        sys.exit(SKIP)
    work = tempfile.mkdtemp(prefix="api32-pytray-")
    watcher = subprocess.Popen(["status-notifier-watcher"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                               env=TOOL_ENV)
    try:
        if subprocess.run(["gdbus", "wait", "--session", "--timeout", "15", "org.kde.StatusNotifierWatcher"],
                          timeout=30, env=TOOL_ENV).returncode != 0:
            print("SKIPPED: the watcher did not take its name")
            sys.exit(SKIP)
        memory_blocks()
        run_tray(work)
    finally:
        watcher.terminate()
        watcher.wait(timeout=10)
        shutil.rmtree(work, ignore_errors=True)
    print("python tray host: ok")


def run_tray(work):
    icon = os.path.join(work, "blue.ico")
    write_ico(icon)

    window = lib.api32_window_create(b"python tray host")
    check(window, "a window: %s" % lib.api32_last_error())
    hwnd = lib.api32_window_handle(window)
    check(hwnd != 0, "the window's handle")
    received = []

    @MESSAGE_CALLBACK
    def on_message(_window, message, _user):
        m = message.contents
        received.append((m.hwnd, m.message, m.lparam))

    check(lib.api32_window_set_callback(window, on_message, None) == 0, "callback set")

    tray_class = klass("uo_nv_trayicon")
    tray = tray_class.create()
    check(tray, "a tray object")
    window_value = Value(type=API32_OBJECT, object=window, type_name=b"window")
    r = call(tray_class, tray, "addtotray", window_value, string(icon), string("python host"))
    check(r.contents.value.i == 1, "addtotray true")
    lib.api32_release(r)
    check(variable(tray_class, tray, "iw_window")[:2] == (window, "window"), "iw_window is the host's window")

    # The menu and its item, reached through the tray object.
    menu_object, menu_type, _ = variable(tray_class, tray, "imenu")
    check(menu_object and menu_type == "trayicon_menu", "imenu")
    menu_class = klass("trayicon_menu")
    item_object, item_type, _ = variable(menu_class, menu_object, "m_test")
    check(item_object and item_type == "menu_item", "m_test")
    item_class = klass("menu_item")
    r = item_class.get_variable(item_object, b"text")
    check(C.string_at(r.contents.value.text).decode() == "Test", "m_test's text")
    lib.api32_release(r)
    r = item_class.set_variable(item_object, b"text", C.byref(string("Open add-ons")))
    check(r.contents.status == 0, "m_test's text changed")
    lib.api32_release(r)
    clicked = []

    @EVENT_CALLBACK
    def on_clicked(obj, event, _user):
        clicked.append((obj, event.decode()))

    check(lib.api32_set_event_callback(item_object, b"menu_item", b"clicked", on_clicked, None) == 0, "clicked hook")

    check(pump_until(lambda: len(registered_items()) == 1), "the icon registered with the watcher")
    item = registered_items()[0]

    # A left click from the panel reaches the window's callback as the tray's mouse-move message.
    rc, _, err = item_call(item, "/StatusNotifierItem", "org.kde.StatusNotifierItem.Activate", "1", "1")
    check(rc == 0, "Activate: " + err)
    check(pump_until(lambda: len(received) >= 2), "click messages arrive")
    check(received[:2] == [(hwnd, WM_MOUSEMOVE, WM_LBUTTONDOWN), (hwnd, WM_MOUSEMOVE, WM_LBUTTONUP)],
          "left click as 512 with the button messages: %s" % received)

    # The menu as the panel reads it, and a choice on it reaching the item's clicked event.
    rc, out, err = item_call(item, "/MenuBar", "com.canonical.dbusmenu.GetLayout", "0", "-1", "[]")
    check(rc == 0 and "Open add-ons" in out, "the panel's menu shows the changed text: %s %s" % (out, err))
    rc, _, err = item_call(item, "/MenuBar", "com.canonical.dbusmenu.Event", "1", "clicked", "<0>", "0")
    check(rc == 0, "Event clicked: " + err)
    check(pump_until(lambda: clicked == [(item_object, "clicked")]), "the choice reached the host: %s" % clicked)

    # Without a callback the messages wait in the window's queue.
    check(lib.api32_window_set_callback(window, MESSAGE_CALLBACK(), None) == 0, "callback removed")
    time.sleep(0.5)  # past the double-click time
    item_call(item, "/StatusNotifierItem", "org.kde.StatusNotifierItem.Activate", "1", "1")
    queued = []

    def drain():
        m = Message()
        while lib.api32_window_next_message(window, C.byref(m)) == 1:
            queued.append((m.hwnd, m.message, m.lparam))
        return len(queued) >= 2

    check(pump_until(drain), "queued click messages")
    check(queued == [(hwnd, WM_MOUSEMOVE, WM_LBUTTONDOWN), (hwnd, WM_MOUSEMOVE, WM_LBUTTONUP)],
          "the queue holds the click: %s" % queued)

    # "constructor" starts the menu over in place (still the icon's menu), and the tray with a new menu.
    r = menu_class.trigger(menu_object, b"constructor", None)
    check(r.contents.status == 0, "menu constructor")
    lib.api32_release(r)
    rc, out, _ = item_call(item, "/MenuBar", "com.canonical.dbusmenu.GetLayout", "0", "-1", "[]")
    check(rc == 0 and "'Test'" in out, "the menu started over and is still the icon's: %s" % out)

    r = call(tray_class, tray, "removefromtray", window_value)
    lib.api32_release(r)
    check(pump_until(lambda: registered_items() == []), "the icon is gone from the watcher")

    r = tray_class.trigger(tray, b"constructor", None)
    check(r.contents.status == 0, "tray constructor")
    lib.api32_release(r)
    check(variable(tray_class, tray, "iw_window")[2] == 1, "iw_window null after the constructor")
    r = item_class.set_variable(item_object, b"enabled", C.byref(Value(type=API32_BOOLEAN, i=0)))
    check(r.contents.status == API32_E_OBJECT, "the old menu's item is no longer reachable")
    lib.api32_release(r)
    check(variable(tray_class, tray, "imenu")[0], "a new imenu")

    tray_class.destroy(tray)
    lib.api32_window_destroy(window)
    check(lib.api32_window_handle(window) == 0, "the destroyed window is no window")


if __name__ == "__main__":
    main()
