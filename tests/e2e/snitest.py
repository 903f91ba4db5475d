#!/usr/bin/env python3
"""The program's StatusNotifierItem driven over the private session bus as a host
drives it, with lxqt-panel as the real host and watcher; one scenario per run:
late-host (the panel comes after the program: item, menu, a quiet keep-alive,
About and Quit), password (Activate answered before the dialog), wayland (on
a headless Weston, Quit keeps the stored place), and beside watcher.py's watchers
that hang, answer late or with the wrong type, or take the name from another.

Usage: snitest.py SCENARIO BRINDORA DAS_SIM
"""

import os
import subprocess
import sys
import time

from gi.repository import GLib

from desktop import Failure, require_program, run_scenario
from remote import (ABOUT_TITLE, CONNECTED_SETTINGS, PASSWORD_SETTINGS, QUIT_BUTTON, WINDOW_TITLE,
                    Remote, wait_for)
from trayhost import TrayHost

WATCHER = ("org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher",
           "org.kde.StatusNotifierWatcher")
ITEM = "org.kde.StatusNotifierItem"
MENU = "com.canonical.dbusmenu"
BUS = ("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus")
PANEL_CONFIG = "panels=p\n[p]\nplugins=sn\n[sn]\ntype=statusnotifier\n"
KEEPALIVE_SPAN_SECONDS = 11  # two of the program's 5-s refreshes and a bit
WATCHER_SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "watcher.py")
PLACE = "viewertop=123\nviewerleft=77\n"


class Run:
    def __init__(self, desktop, brindora, das_sim, workdir):
        self.desktop, self.das_sim, self.workdir = desktop, das_sim, workdir
        self.bus = desktop.bus
        self.remote = Remote(desktop, brindora, workdir)

    def watcher(self, name):
        return self.bus.get(*WATCHER, name, quiet=True)  # None: no panel yet

    def start_panel(self):
        config = os.path.join(self.workdir, "panel.conf")
        with open(config, "w") as out:
            out.write(PANEL_CONFIG)
        self.desktop.spawn([require_program("lxqt-panel"), "--configfile", config],
                           env=dict(self.desktop.env, QT_QPA_PLATFORM="xcb"),
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_for(lambda: self.watcher("IsStatusNotifierHostRegistered"), "lxqt-panel's host")

    def item(self):
        """(service, path) of the program's item once the watcher lists it."""
        for service, _, path in (entry.partition("/")
                                 for entry in self.watcher("RegisteredStatusNotifierItems") or []):
            owner = self.bus.call(*BUS, "GetConnectionUnixProcessID", "(s)", service)[0]
            if owner == self.remote.pid:
                return service, "/" + path
        return None

    def menu(self, item):
        """The menu's path and its entries, as (label, id) in order."""
        path = self.bus.get(*item, ITEM, "Menu")
        if path == "/NO_DBUSMENU":
            raise Failure("the item exports no menu: hosts draw none")
        _, (_, _, entries) = self.bus.call(item[0], path, MENU, "GetLayout", "(iias)", 0, -1, [])
        return path, [(entry.get("label", "-"), number) for number, entry, _ in entries]

    def choose(self, item, label):
        """Clicks the menu entry as the host does; returns once the program has answered."""
        path, entries = self.menu(item)
        self.bus.call(item[0], path, MENU, "Event", "(isvu)", dict(entries)[label], "clicked",
                      GLib.Variant("i", 0), 0)

    def quit_from_menu(self, item):
        self.choose(item, "Quit")
        self.remote.wait_for_exit("Quit in the item's menu")
        return self.remote.read_settings()

    def stopped(self, process):
        with open(f"/proc/{process.pid}/stat") as stat:
            return stat.read().rsplit(")", 1)[1].split()[0] == "T"

    def watch(self, *arguments):
        path = os.path.join(self.workdir, "watcher-" + "-".join(arguments))
        with open(path, "w") as log:
            watcher = self.desktop.spawn([sys.executable, WATCHER_SCRIPT, *arguments], stdout=log)
        wait_for(lambda: "holding the name" in open(path).read(), "watcher.py " + path)
        return watcher, lambda: open(path).read()

    # -- the scenarios --

    def late_host(self):
        self.remote.launch(self.das_sim, settings=CONNECTED_SETTINGS)
        wait_for(lambda: self.remote.windows(WINDOW_TITLE, visible=False), "main window made")
        self.start_panel()
        item = wait_for(self.item, "the program's item with the panel that came late")
        labels = [label for label, _ in self.menu(item)[1]]
        if labels != ["About", "-", "Quit"]:
            raise Failure(f"the item's menu holds {labels}")
        heard = self.bus.listen(item[0], ITEM, item[1])
        time.sleep(KEEPALIVE_SPAN_SECONDS)
        resent = [name for name, _ in heard() if name in ("NewIcon", "NewToolTip")]
        if resent:
            raise Failure(f"the unchanged icon was announced again: {resent}")
        self.choose(item, "About")
        self.remote.close_box_by_ok(ABOUT_TITLE)
        print(f"late panel got the item and its menu {labels}; About answered at once; "
              f"Quit: {self.quit_from_menu(item)}")

    def password(self):
        self.start_panel()
        self.remote.launch(self.das_sim, "-autominimize", settings=PASSWORD_SETTINGS)
        item = wait_for(self.item, "the program's item")
        self.remote.wait_hidden_at_start("-autominimize")
        self.bus.call(*item, ITEM, "Activate", "(ii)", 0, 0)
        dialog = wait_for(lambda: self.remote.window("Restore Program"), "password dialog")
        self.remote.type_into(dialog, "sECRET")
        self.remote.main_window("main window back after the password")
        print("Activate was answered before the password dialog, which brought the window back")

    def wayland(self):
        self.start_panel()
        self.desktop.spawn([require_program("weston"), "--backend=headless-backend.so",
                            "--socket=wayland-brindora", "--idle-time=0"],
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        socket = os.path.join(self.desktop.env["XDG_RUNTIME_DIR"], "wayland-brindora")
        wait_for(lambda: os.path.exists(socket), "Weston")
        # Qt's Wayland client leaves some of libwayland's objects to the end of the process,
        # and Mesa's EGL loses a block in the driver it loads and unloads when Qt sets up its
        # buffers at the first show: a leak-checking build would take either for the program's.
        leaks = os.path.join(self.workdir, "wayland.supp")
        with open(leaks, "w") as out:
            out.write("leak:libwayland-client.so\nleak:libEGL_mesa.so\n")
        self.remote.launch(self.das_sim, settings=CONNECTED_SETTINGS + PLACE,
                           environment={"QT_QPA_PLATFORM": "wayland",
                                        "WAYLAND_DISPLAY": "wayland-brindora",
                                        "LSAN_OPTIONS": f"suppressions={leaks}",
                                        # The full stack, so that Mesa's frames are seen past
                                        # the driver it has unloaded by then.
                                        "ASAN_OPTIONS": os.environ.get("ASAN_OPTIONS", "")
                                        + ":fast_unwind_on_malloc=0"})
        stored = self.quit_from_menu(wait_for(self.item, "the program's item"))
        if (stored.get("viewertop"), stored.get("viewerleft")) != ("123", "77"):
            raise Failure(f"Quit on Wayland stored {stored} over {PLACE!r}")
        print(f"Quit on Wayland kept the stored place: {stored}")


    def hung_watcher(self):
        tray = TrayHost(self.desktop, self.workdir).start()
        hung = self.watch("hung")[0]
        wait_for(lambda: self.stopped(hung), "watcher that took the name and hung")
        self.remote.launch(self.das_sim, settings=CONNECTED_SETTINGS)
        # Within the limits only if nothing on the window's thread waits for the watcher: a
        # question to it would hold the window for 25 s at start and again at every refresh.
        window = self.remote.main_window("main window with a hung watcher")
        wait_for(lambda: tray.embedded_icon(self.remote), "icon in icewm's tray", 60)
        self.remote.click(window, QUIT_BUTTON)
        self.remote.wait_for_exit("Quit with a hung watcher")
        print("with a hung watcher the window opened and Quit answered")

    def slow_watcher(self):
        calls = self.watch("2", "true")[1]
        self.remote.launch(self.das_sim, settings=CONNECTED_SETTINGS)
        wait_for(lambda: " Get" in calls(), "the slow watcher's question")
        time.sleep(3)  # for its answer; Qt's own question, which holds the window, comes at once
        if calls().count("\n") != 3:
            raise Failure(f"a slow watcher was asked again:\n{calls()}")
        self.bus.call(*WATCHER, "RegisterStatusNotifierHost", "(s)", "a host")
        wait_for(lambda: "RegisterStatusNotifierItem" in calls(), "item, the watcher prompt")

    def wrong_type(self):
        self.watch("0", "yes")
        self.remote.launch(self.das_sim, "-autominimize", settings=CONNECTED_SETTINGS)
        window = wait_for(lambda: self.remote.windows(WINDOW_TITLE, visible=False), "window")[0]
        wait_for(lambda: "Iconic" in self.remote.run("xprop", "-id", window, "WM_HINTS").stdout,
                 "-autominimize minimising, with no host as Qt reads the watcher")

    def takeover(self):
        first = self.watch("0", "true")[1]
        self.remote.launch(self.das_sim, settings=CONNECTED_SETTINGS)
        wait_for(lambda: "RegisterStatusNotifierItem" in first(), "item with the first watcher")
        second = self.watch("0", "true", "replace")[1]
        wait_for(lambda: "RegisterStatusNotifierItem" in second(), "item with the new owner")


SCENARIOS = {"hung-watcher": Run.hung_watcher, "slow-watcher": Run.slow_watcher,
             "wrong-type": Run.wrong_type, "watcher-takeover": Run.takeover,
             "late-host": Run.late_host, "password": Run.password, "wayland": Run.wayland}


def main(argv):
    return run_scenario(argv, __doc__, "brindora-sni-", SCENARIOS, Run, 4)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
