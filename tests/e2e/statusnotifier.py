"""A real StatusNotifierItem host on the private desktop (lxqt-panel's status
notifier, which is also the session's watcher), a headless Wayland compositor,
and a D-Bus client that acts on the program's item as a host does: clicks it,
reads and clicks its menu, listens to what it announces."""

import os
import subprocess
import time

from desktop import Failure, SetupError, end_group, require_program
from remote import LIMIT, wait_for

WATCHER = "org.kde.StatusNotifierWatcher"
WATCHER_PATH = "/StatusNotifierWatcher"
ITEM = "org.kde.StatusNotifierItem"
MENU = "com.canonical.dbusmenu"

# Only the status notifier: no clock or menus that need a full desktop.
PANEL_CONFIG = """\
panels=panel1

[panel1]
plugins=statusnotifier
position=Bottom

[statusnotifier]
type=statusnotifier
"""


def _gio():
    try:
        import gi
        from gi.repository import Gio, GLib
    except ImportError as error:
        raise SetupError(f"GLib for Python is missing ({error}); tools/install-deps.sh "
                         "installs python3-gi")
    return gi, Gio, GLib


class Bus:
    """A client of the private session bus."""

    def __init__(self, address):
        _, self.Gio, self.GLib = _gio()
        flags = (self.Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT
                 | self.Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION)
        try:
            self.connection = self.Gio.DBusConnection.new_for_address_sync(address, flags, None,
                                                                           None)
        except self.GLib.Error as error:
            raise SetupError(f"the private session bus at {address}: {error.message}")

    def call(self, service, path, interface, method, signature=None, *arguments):
        """The reply's values; a call unanswered within LIMIT seconds is a failure."""
        parameters = self.GLib.Variant(signature, arguments) if signature else None
        try:
            reply = self.connection.call_sync(service, path, interface, method, parameters, None,
                                              self.Gio.DBusCallFlags.NONE, LIMIT * 1000, None)
        except self.GLib.Error as error:
            raise Failure(f"{interface}.{method} on {service}{path}: {error.message}")
        return reply.unpack()

    def property(self, service, path, interface, name):
        return self.call(service, path, "org.freedesktop.DBus.Properties", "Get", "(ss)",
                         interface, name)[0]

    def owner_pid(self, service):
        return self.call("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                         "GetConnectionUnixProcessID", "(s)", service)[0]

    def signals_during(self, service, path, interface, seconds):
        """The names of the signals the service sent from path within the next seconds."""
        heard = []
        handle = self.connection.signal_subscribe(
            service, interface, None, path, None, self.Gio.DBusSignalFlags.NONE,
            lambda *signal: heard.append(signal[4]))
        context = self.GLib.MainContext.default()
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            while context.iteration(False):
                pass
            time.sleep(0.05)
        self.connection.signal_unsubscribe(handle)
        return heard


class TrayItem:
    """The program's StatusNotifierItem as a host sees it."""

    def __init__(self, bus, service, path):
        self.bus = bus
        self.service = service
        self.path = path

    def property(self, name):
        return self.bus.property(self.service, self.path, ITEM, name)

    def activate(self):
        """A left click as a host passes it on; returns once the program has answered."""
        self.bus.call(self.service, self.path, ITEM, "Activate", "(ii)", 0, 0)

    def menu_path(self):
        path = self.property("Menu")
        if path == "/NO_DBUSMENU":
            raise Failure("the item exports no menu (Menu is /NO_DBUSMENU): hosts draw nothing")
        return path

    def menu(self):
        """The menu's entries in order as (label, id); a separator's label is '-'."""
        _, (_, _, children) = self.bus.call(self.service, self.menu_path(), MENU, "GetLayout",
                                            "(iias)", 0, -1, [])
        return [(entry.get("label", "-" if entry.get("type") == "separator" else "?"), number)
                for number, entry, _ in children]

    def choose(self, label):
        """Clicks the menu entry as a host does; returns once the program has answered."""
        ids = [number for text, number in self.menu() if text == label]
        if not ids:
            raise Failure(f"no {label!r} in the item's menu {self.menu()}")
        self.bus.call(self.service, self.menu_path(), MENU, "Event", "(isvu)", ids[0], "clicked",
                      self.bus.GLib.Variant("i", 0), 0)

    def announcements_during(self, seconds):
        return self.bus.signals_during(self.service, self.path, ITEM, seconds)


class StatusNotifierHost:
    """lxqt-panel with only its status notifier, on the private display and bus."""

    def __init__(self, desktop, workdir):
        self.desktop = desktop
        self.panel = require_program("lxqt-panel")
        self.workdir = workdir
        self.config = os.path.join(workdir, "lxqt-panel.conf")
        self.log_path = os.path.join(workdir, "lxqt-panel.log")
        self.process = None
        self.bus = Bus(desktop.env["DBUS_SESSION_BUS_ADDRESS"])
        with open(self.config, "w") as config:
            config.write(PANEL_CONFIG)

    def start(self):
        env = dict(self.desktop.env, QT_QPA_PLATFORM="xcb",
                   XDG_CONFIG_HOME=os.path.join(self.workdir, "lxqt-home"))
        with open(self.log_path, "ab") as log:
            self.process = self.desktop.spawn([self.panel, "--configfile", self.config],
                                              env=env, stdout=log, stderr=subprocess.STDOUT)
        wait_for(self.host_registered, "lxqt-panel's host registered with its watcher")
        return self

    def stop(self):
        end_group(self.process)
        wait_for(lambda: not self.host_registered(), "lxqt-panel's watcher gone")

    def host_registered(self):
        try:
            return self.bus.property(WATCHER, WATCHER_PATH, WATCHER,
                                     "IsStatusNotifierHostRegistered")
        except Failure:
            return False

    def item_of(self, pid):
        """The program's item once the watcher lists it, else None."""
        try:
            entries = self.bus.property(WATCHER, WATCHER_PATH, WATCHER,
                                        "RegisteredStatusNotifierItems")
        except Failure:
            return None
        for entry in entries:
            service, _, path = entry.partition("/")
            if self.bus.owner_pid(service) == pid:
                return TrayItem(self.bus, service, "/" + path)
        return None

    def wait_for_item(self, remote):
        return wait_for(lambda: self.item_of(remote.pid),
                        "item of the program registered with lxqt-panel")

    def log(self):
        if not os.path.exists(self.log_path):
            return "(never started)"
        with open(self.log_path, errors="replace") as log:
            return log.read()


def start_compositor(desktop, workdir):
    """A headless Weston; returns the environment a Wayland client needs for it."""
    weston = require_program("weston")
    runtime = os.path.join(workdir, "runtime")
    os.makedirs(runtime, mode=0o700, exist_ok=True)
    socket = "brindora-test"
    desktop.spawn([weston, "--backend=headless-backend.so", f"--socket={socket}", "--idle-time=0",
                   f"--log={os.path.join(workdir, 'weston.log')}"],
                  env=dict(desktop.env, XDG_RUNTIME_DIR=runtime),
                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wait_for(lambda: os.path.exists(os.path.join(runtime, socket)), "Weston's Wayland socket")
    return {"XDG_RUNTIME_DIR": runtime, "WAYLAND_DISPLAY": socket, "QT_QPA_PLATFORM": "wayland"}
