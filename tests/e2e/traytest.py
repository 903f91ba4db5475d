#!/usr/bin/env python3
"""The notification area with the real program: one scenario per run.

Each scenario starts a private X display with icewm as the window manager and
tray host, the demo server das-sim and the real brindora in a fresh settings
folder, then acts like a user: the window's close box (through the window
manager), clicks on the tray icon, the tray menu, restarting the tray; and,
over two runs on one settings folder, the window's place and the server.

Usage: traytest.py SCENARIO BRINDORA DAS_SIM
"""

import sys
import time

from desktop import require_program, run_scenario
from remote import (ABOUT_TITLE, CONNECTED_SETTINGS, PASSWORD_SETTINGS, QUIT_BUTTON, SETUP_BUTTON,
                    WINDOW_TITLE, Failure, Remote, wait_for)
from trayhost import TrayHost

ICON_CENTRE = (11, 11)
# A person's clicks on the icon come this far apart at least. Closer ones are a double click
# (Qt's default double-click time is 400 ms), or land while the last click's dialog is still
# winding down, when the icon only brings a waiting dialog forward.
HUMAN_PAUSE_SECONDS = 0.6
STORED = ("viewertop", "viewerleft", "hostname")


class Scenario:
    def __init__(self, desktop, brindora, das_sim, workdir):
        self.desktop = desktop
        self.das_sim = das_sim
        self.tray = TrayHost(desktop, workdir).start()
        self.remote = Remote(desktop, brindora, workdir)
        self.wmctrl = require_program("wmctrl")
        self.port = None

    # -- steps shared by the scenarios --

    def start(self, *arguments, settings=None):
        self.port = self.remote.launch(self.das_sim, *arguments, settings=settings)
        self.remote.connect_accessibility()

    def wait_for_icon(self):
        return wait_for(lambda: self.tray.embedded_icon(self.remote),
                        "tray icon embedded in icewm's tray")

    def close_box(self, window):
        # _NET_CLOSE_WINDOW to icewm, which sends WM_DELETE_WINDOW: the same
        # path as the close box in the title bar, not a kill.
        self.remote.run(self.wmctrl, "-i", "-c", window)
        wait_for(self.remote.hidden, "main window hidden after the close box")
        if self.remote.process.poll() is not None:
            raise Failure(f"the close box ended brindora (status {self.remote.process.poll()})")

    def click_icon(self, button):
        icon = self.wait_for_icon()
        time.sleep(HUMAN_PAUSE_SECONDS)
        self.remote.click(str(icon.id), ICON_CENTRE, button)

    def still_connected(self):
        # The time keeps running only while the link is up and the labels update.
        first, second = self.remote.wait_for_time_to_run()
        print(f"time runs on ({first} -> {second})")

    def password_dialog(self):
        self.click_icon(1)
        return wait_for(lambda: self.remote.window("Restore Program"), "Restore Program dialog")

    # -- the scenarios --

    def startup(self):
        self.start()
        icon = self.wait_for_icon()
        chain = " < ".join(node.name or hex(node.id) for node in icon.ancestors())
        print(f"icon {icon.id:#x} ({icon.width}x{icon.height}) sits in {chain}")
        self.remote.main_window()

    def close_and_restore(self):
        self.start(settings=CONNECTED_SETTINGS)
        window = self.remote.main_window()
        self.wait_for_icon()
        self.remote.wait_for_time_to_run()
        self.close_box(window)
        print("close box hid the window")
        self.still_connected()
        self.click_icon(1)
        self.remote.main_window("main window back after a left click")
        print("left click on the icon brought the window back")

    def password(self):
        self.start(settings=PASSWORD_SETTINGS)
        window = self.remote.main_window()
        self.wait_for_icon()
        self.close_box(window)

        self.remote.type_into(self.password_dialog(), "wrong")
        wait_for(lambda: self.remote.window("Invalid Password"), "Invalid Password box")
        if not self.remote.hidden():
            raise Failure("a wrong password brought the window back")
        self.remote.close_box_by_ok("Invalid Password")
        if not self.remote.hidden():
            raise Failure("the window came back after the Invalid Password box")
        print("a wrong password showed 'Invalid Password' and left the window hidden")

        self.remote.type_into(self.password_dialog(), "sECRET")
        self.remote.main_window("main window back after the password")
        print("the password in other letter case brought the window back")

    def menu_quit(self):
        self.start()
        window = self.remote.main_window()
        self.wait_for_icon()
        self.close_box(window)

        # The first entry is About: it opens the About box, and Ok closes it again.
        self.choose_from_tray_menu(("Down", "Return"), lambda: self.remote.window(ABOUT_TITLE),
                                   "About box from the tray menu")
        self.remote.close_box_by_ok(ABOUT_TITLE)
        if not self.remote.hidden() or self.remote.process.poll() is not None:
            raise Failure("closing the About box showed the window or ended the program")
        print("About in the tray menu opened the About box")

        # After the separator comes Quit.
        self.choose_from_tray_menu(("Down", "Down", "Return"),
                                   lambda: self.remote.process.poll() is not None,
                                   "end of brindora after Quit in the tray menu")
        self.remote.wait_for_exit("Quit in the tray menu")
        stored = self.remote.read_settings(*STORED)
        if stored is None:
            raise Failure(f"after Quit the settings file lacks one of {STORED}: "
                          f"{self.remote.read_settings()}")
        wait_for(lambda: all(not tray.children for tray in self.tray.tray_windows()),
                 "empty tray after Quit")
        print(f"Quit from the tray menu ended brindora with status 0 and stored {stored}")

    def choose_from_tray_menu(self, keys, probe, what):
        """A right click on the icon, pressed and released in two steps so that
        a menu that vanishes on the release is told apart from one never shown,
        then keys to choose an entry; waits for what that entry does."""
        previous = getattr(self, "menu_id", None)
        if previous is not None:
            wait_for(lambda: str(previous) not in self.remote.windows(), "last tray menu closed")
        time.sleep(HUMAN_PAUSE_SECONDS)
        before = set(self.remote.windows())
        icon = self.wait_for_icon()
        self.remote.click(str(icon.id), ICON_CENTRE, 3, "mousedown")
        menu = wait_for(lambda: self.popup(before), "tray menu while the right button is down")
        self.menu_id = menu.id
        self.check_beside(menu, self.mouse_position(), icon.top_level())
        self.remote.xdo("mouseup", "3")
        if not self.remote.hidden():
            raise Failure("the right click brought the window back")
        self.remote.xdo("key", *keys)
        try:
            wait_for(probe, what)
        except Failure as failure:
            if str(menu.id) not in self.remote.windows():
                raise Failure(f"{failure}; the tray menu was open while the right button was "
                              "down and had closed, without taking the keys, after its release")
            raise

    @staticmethod
    def check_beside(menu, mouse, task_bar):
        """The menu opens at the mouse, moved only as far as needed to keep it on
        the screen and off the task bar: so the pointer's column crosses it and
        it stands at most the task bar's height above or below the pointer."""
        x, y = mouse
        gap = max(menu.y - y, y - (menu.y + menu.height), 0)
        if not menu.x <= x < menu.x + menu.width or gap > task_bar.height:
            raise Failure(f"tray menu {menu.width}x{menu.height} opened at {menu.x},{menu.y}, "
                          f"not beside the mouse at {x},{y}")

    def popup(self, before):
        """The one window the program showed since `before`."""
        shown = [w for w in self.remote.windows() if w not in before]
        return self.tray.find(int(shown[0])) if len(shown) == 1 else None

    def mouse_position(self):
        shell = dict(line.split("=", 1) for line in
                     self.remote.xdo("getmouselocation", "--shell").split())
        return int(shell["X"]), int(shell["Y"])

    def tray_restart(self):
        self.start()
        self.remote.main_window()
        old = self.wait_for_icon()
        old_tray = next(node for node in old.ancestors() if node.name == "SystemTray")
        self.tray.stop()
        wait_for(lambda: not self.tray.embedded_icon(self.remote), "icon out of the ended tray")
        self.tray.start()
        icon = wait_for(lambda: self.tray.embedded_icon(self.remote),
                        "icon embedded again in the restarted tray")
        tray = next(node for node in icon.ancestors() if node.name == "SystemTray")
        if tray.id == old_tray.id:
            raise Failure("the tray window did not change: icewm did not restart")
        print(f"icon back in the new tray {tray.id:#x} (was {old_tray.id:#x})")
        self.close_box(self.remote.main_window())
        self.click_icon(1)
        self.remote.main_window()
        print("the icon in the new tray restores the window")

    def autominimize(self):
        self.start("-AutoMinimize", settings=CONNECTED_SETTINGS)
        self.wait_for_icon()
        self.remote.wait_hidden_at_start("-AutoMinimize")
        self.still_connected()
        if not self.remote.hidden():
            raise Failure("the window showed up after hiding itself")
        print("-AutoMinimize hid the window into the tray; it stays connected")
        self.click_icon(1)
        self.remote.main_window()
        print("a left click on the icon shows it")

    def late_tray(self):
        """The panel comes late, goes and comes back: every way back gives a normal window
        (never an iconic one, which a desktop without a task bar keeps), and under a password
        every one asks it, the task bar and a second start as well as the icon."""
        self.tray.stop()
        self.tray.start(tray=False)
        self.start("-autominimize", settings=CONNECTED_SETTINGS)
        window = self.wait_state("Iconic", "minimised for want of a tray at start")
        self.remote.run(self.wmctrl, "-i", "-a", window)
        self.restart_tray(True)
        self.close_box(self.wait_state("Normal", "restored from the task bar"))
        self.click_icon(1)
        self.wait_state("Normal", "back from the new tray's icon")

        self.remote.write_settings(PASSWORD_SETTINGS)
        self.close_box(self.remote.main_window())
        self.restart_tray(False)
        self.wait_state("Iconic", "back, minimised, once the tray stayed away")
        self.remote.start(self.port, again=True)
        self.answer(self.dialog("Restore Program"), "a second start")
        self.remote.run(self.wmctrl, "-i", "-c", self.remote.main_window())
        window = self.wait_state("Iconic", "minimised by the close box")
        self.remote.run(self.wmctrl, "-i", "-a", window)
        self.answer(self.dialog("Restore Program"), "the task bar", minimised=False)
        self.remote.run(self.wmctrl, "-i", "-c", self.remote.main_window())
        self.wait_state("Iconic", "minimised by the close box")
        self.restart_tray(True)
        wait_for(self.remote.hidden, "hidden into the icon of the tray come back")
        self.answer(self.password_dialog(), "the icon", minimised=False)
        print("late tray: each way back gave a normal window, under a password after asking it")

    def restart_tray(self, tray):
        self.tray.stop()
        self.tray.start(tray)

    def answer(self, dialog, way, minimised=True):
        if minimised:
            self.wait_state("Iconic", f"kept minimised while {way} asks the password")
        elif not self.remote.hidden():
            raise Failure(f"the window showed while {way} asks the password")
        if "window id" in self.remote.run("xprop", "-id", dialog, "WM_TRANSIENT_FOR").stdout:
            raise Failure(f"the password dialog of {way} is transient for a window out of sight")
        self.remote.type_into(dialog, "sECRET")
        self.wait_state("Normal", f"back through {way} after the password")

    def dialog(self, title):
        return wait_for(lambda: self.remote.window(title), f"{title!r} dialog")

    def wait_state(self, state, what):
        """The main window in that WM_STATE (it may be a new X window each time)."""
        found = lambda: next((w for w in self.remote.windows(WINDOW_TITLE, visible=False)
                              if self.tray.wm_state(w) == state), None)
        return wait_for(found, f"main window {state}: {what}")

    def persistence(self):
        """Two runs on one settings folder: where the window stood and which
        server it used come back at the next start."""
        self.start()
        fresh = wait_for(lambda: self.remote.read_settings(*STORED),
                         f"{STORED} in the store after start-up")
        if fresh["hostname"] != "":
            raise Failure(f"a fresh store names the server {fresh['hostname']!r}")
        print(f"fresh store after start-up: {fresh}")

        window = self.remote.main_window()
        self.remote.click(window, SETUP_BUTTON)
        self.remote.type_into(wait_for(lambda: self.remote.window("Configuration"),
                                       "Configuration dialog"), "127.0.0.1")
        title = wait_for(self.remote.song_title, "song title after Setup")
        before = self.frame_origin(window)
        # Asked of the window manager, as a user dragging the title bar would.
        self.remote.xdo("windowmove", "--sync", window, "100", "150")
        moved = wait_for(lambda: self.frame_origin(window) != before and self.frame_origin(window),
                         "window moved by the window manager")
        self.remote.click(window, QUIT_BUTTON)
        self.remote.wait_for_exit("Quit")
        stored = self.remote.read_settings()
        # The program stores its outer top-left, the frame's corner: so the
        # frame, not the inner window xdotool moved, is what must match.
        saved = (int(stored["viewerleft"]), int(stored["viewertop"]))
        if saved != moved or stored.get("hostname") != "127.0.0.1":
            raise Failure(f"Quit stored {stored}; the frame stood at {moved}, the server "
                          "was 127.0.0.1")
        print(f"first run: played {title!r}, frame moved {before} -> {moved}, Quit stored {stored}")

        self.remote.start(self.port)
        self.remote.connect_accessibility()
        window = self.remote.main_window()
        wait_for(lambda: self.frame_origin(window) == saved,
                 f"window frame at the stored {saved} (it is at {self.frame_origin(window)})")
        again = wait_for(self.remote.song_title, "song title without Setup in the second run")
        print(f"second run: frame at {saved} again, {again!r} without Setup")

    def frame_origin(self, window):
        node = self.tray.find(int(window))
        return (node.top_level().x, node.top_level().y) if node else None


SCENARIOS = {
    "startup": Scenario.startup,
    "close-restore": Scenario.close_and_restore,
    "password": Scenario.password,
    "menu-quit": Scenario.menu_quit,
    "tray-restart": Scenario.tray_restart,
    "autominimize": Scenario.autominimize,
    "persistence": Scenario.persistence,
    "late-tray": Scenario.late_tray,
}


def main(argv):
    return run_scenario(argv, __doc__, "brindora-tray-", SCENARIOS, Scenario, 4)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
