#!/usr/bin/env python3
"""The program's StatusNotifierItem with a real host: one scenario per run.

Each scenario starts a private X display and session bus, lxqt-panel as the
StatusNotifierItem host (and the session's watcher), the demo server das-sim
and the real brindora in a fresh settings folder, then acts on the program's
item over D-Bus exactly as a host does when the user clicks the icon or its
menu. The Wayland scenario runs brindora on a headless Weston instead of X.

Usage: snitest.py SCENARIO BRINDORA DAS_SIM
"""

import os
import sys

from desktop import run_session
from remote import (ABOUT_TITLE, CONNECTED_SETTINGS, PASSWORD_SETTINGS, WINDOW_TITLE, Failure,
                    Remote, start_server, wait_for)
from statusnotifier import StatusNotifierHost, start_compositor

# The program refreshes its icon every 5 s; this spans two refreshes and a bit.
KEEPALIVE_SPAN_SECONDS = 11
STORED_PLACE = "viewertop=123\nviewerleft=77\n"


class Scenario:
    def __init__(self, desktop, brindora, das_sim, workdir):
        self.desktop = desktop
        self.das_sim = das_sim
        self.workdir = workdir
        self.host = StatusNotifierHost(desktop, workdir)
        self.remote = Remote(desktop, brindora, os.path.join(workdir, "config"),
                             os.path.join(workdir, "brindora.log"))

    def start(self, *arguments, settings=CONNECTED_SETTINGS, environment=None):
        self.remote.write_settings(settings)
        self.remote.start(start_server(self.desktop, self.das_sim), *arguments,
                          environment=environment)

    def start_hidden(self, settings=CONNECTED_SETTINGS):
        self.host.start()
        self.start("-autominimize", settings=settings)
        item = self.host.wait_for_item(self.remote)
        wait_for(lambda: self.remote.windows(WINDOW_TITLE, visible=False), "main window made")
        wait_for(lambda: not self.remote.windows(WINDOW_TITLE), "main window hidden at start")
        return item

    def quit_from_menu(self, item):
        item.choose("Quit")
        self.remote.wait_for_exit("Quit in the item's menu")
        return self.remote.read_settings() or {}

    # -- the scenarios --

    def menu(self):
        item = self.start_hidden()
        entries = [label for label, _ in item.menu()]
        if entries != ["About", "-", "Quit"]:
            raise Failure(f"the item's menu holds {entries}")
        # The host's call is answered while the About box is still up.
        item.choose("About")
        self.remote.close_box_by_ok(ABOUT_TITLE)
        if self.remote.windows(WINDOW_TITLE) or self.remote.process.poll() is not None:
            raise Failure("closing the About box showed the window or ended the program")
        stored = self.quit_from_menu(item)
        if "hostname" not in stored:
            raise Failure(f"Quit stored no settings: {stored}")
        print(f"menu {entries} drawn by the host; About opened, Quit ended brindora with 0")

    def activate(self):
        item = self.start_hidden()
        heard = item.announcements_during(KEEPALIVE_SPAN_SECONDS)
        resent = [name for name in heard if name in ("NewIcon", "NewToolTip")]
        if resent:
            raise Failure(f"the unchanged icon was announced again: {resent}")
        item.activate()
        wait_for(lambda: self.remote.window(WINDOW_TITLE), "main window back after Activate")
        print(f"nothing re-announced over {KEEPALIVE_SPAN_SECONDS} s; Activate restored the window")

    def password(self):
        item = self.start_hidden(PASSWORD_SETTINGS)
        # Returns only once the program has answered; the dialog must not hold that answer.
        item.activate()
        self.remote.type_into(wait_for(lambda: self.remote.window("Restore Program"),
                                       "Restore Program dialog after Activate was answered"),
                              "sECRET")
        wait_for(lambda: self.remote.window(WINDOW_TITLE), "main window back after the password")
        print("Activate was answered before the password dialog; the password restored the window")

    def late_host(self):
        self.start()
        wait_for(lambda: self.remote.window(WINDOW_TITLE), "main window")
        self.host.start()
        self.host.wait_for_item(self.remote).menu_path()
        print("a host that came after the program got its item")
        self.host.stop()
        self.host.start()
        self.host.wait_for_item(self.remote)
        print("a restarted host got it again")

    def wayland_quit(self):
        self.host.start()
        self.start(settings=CONNECTED_SETTINGS + STORED_PLACE,
                   environment=start_compositor(self.desktop, self.workdir))
        stored = self.quit_from_menu(self.host.wait_for_item(self.remote))
        kept = {key: stored.get(key) for key in ("viewertop", "viewerleft")}
        if kept != {"viewertop": "123", "viewerleft": "77"} or "hostname" not in stored:
            raise Failure(f"Quit on Wayland stored {stored} over {STORED_PLACE!r}")
        print(f"Quit on Wayland kept the stored place: {stored}")

    def report(self):
        print("X window tree:\n" + self.remote.run("xwininfo", "-root", "-tree", check=False).stdout)
        print("lxqt-panel output:\n" + self.host.log())
        print("brindora output:\n" + self.remote.log())


SCENARIOS = {
    "menu": Scenario.menu,
    "activate": Scenario.activate,
    "password": Scenario.password,
    "late-host": Scenario.late_host,
    "wayland-quit": Scenario.wayland_quit,
}


def main(argv):
    if len(argv) != 4 or argv[1] not in SCENARIOS:
        print(__doc__ + "Scenarios: " + ", ".join(SCENARIOS))
        return 2
    return run_session("brindora-sni-",
                       lambda desktop, workdir: Scenario(desktop, argv[2], argv[3], workdir),
                       SCENARIOS[argv[1]], argv[1])


if __name__ == "__main__":
    sys.exit(main(sys.argv))
