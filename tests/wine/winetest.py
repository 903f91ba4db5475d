#!/usr/bin/env python3
"""The Windows program under wine, driven from outside as a user drives it: one scenario per
run, each on a private X display with icewm's task bar as the tray (wine docks its tray icons
there), in a wine prefix of its own, against the Windows demo server.

- program: values as the older Windows program left them in the registry are used (the place,
  the server, the password; some names typed in another letter case); the time runs; a second
  start and a click on the icon bring the hidden window back after the password; About and
  Help open; Setup and Quit leave the same names with the same types, and nothing else, under
  the key.
- autostart: Setup's "Start when I log in" writes the Run entry, and wine's log-on (wineboot)
  starts the program from it hidden, with its icon in the tray, connected.
- media-keys: each media key, pressed as a keyboard does, sends its command (play/pause
  stops a server that plays); hidden behind the password, none does.
- installer: the installer installs silently for the user alone, with the log-on entry asked
  for; the installed program starts, connects and finds its guide; an upgrade and the
  uninstaller quit the running copy (which saves its settings), the upgrade starts it again
  and keeps the log-on entry, the uninstaller takes it away, and the settings are left.

Usage: winetest.py SCENARIO WINE_RUN BRINDORA_EXE DAS_SIM_EXE INSTALLER_EXE
"""

import os
import pwd
import signal
import re
import subprocess
import sys
import time
from urllib.parse import unquote

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))

from desktop import Failure, SetupError, run_scenario, wait_for  # noqa: E402
from remote import (ABOUT_TITLE, QUIT_BUTTON, SETUP_BUTTON, WINDOW_TITLE,  # noqa: E402
                    RecordingServer, Remote, start_server)
from trayhost import TRAY_WINDOW_NAME, TrayHost  # noqa: E402

KEY = r"HKCU\Software\Pellwyn\QXBrindora"
RUN_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Run"
WINE = "/usr/lib/wine/wine64"
ABOUT_BUTTON = (272, 19)
HELP_BUTTON = (314, 19)
TIME_LABEL = "49x13+8+16"
ICON_CENTRE = (11, 11)
HUMAN_PAUSE_SECONDS = 0.6
FRAME_SLACK = 8  # pixels
OLD_PROGRAM_VALUES = [("hostname", "REG_SZ", "127.0.0.1"), ("viewertop", "REG_DWORD", "150"),
                      ("ViewerLeft", "REG_DWORD", "260"),
                      ("HideTask_UsePassword", "REG_DWORD", "1"),
                      ("hidetask_password", "REG_SZ", "Secret")]
# A browser that only notes what it was asked to open: wine's shell hands web pages and HTML
# files to xdg-open on the Linux side.
FAKE_BROWSER = "#!/bin/sh\nprintf '%s\\n' \"$*\" >> \"$BRINDORA_BROWSER_LOG\"\n"


class WineRemote(Remote):
    """The Windows program in a wine prefix of its own; its settings are the registry's."""

    def __init__(self, desktop, wine_run, program, workdir):
        super().__init__(desktop, program, workdir)
        self.wine_run = wine_run
        self.launcher = [wine_run]
        self.prefix = os.path.join(workdir, "prefix")
        self.fake_bin = os.path.join(workdir, "bin")
        self.browser_log = os.path.join(workdir, "browser.log")
        os.makedirs(self.fake_bin)
        browser = os.path.join(self.fake_bin, "xdg-open")
        with open(browser, "w") as script:
            script.write(FAKE_BROWSER)
        os.chmod(browser, 0o755)

    def environment(self, port, extra=None):
        env = dict(self.desktop.env, WINEPREFIX=self.prefix, WINEDEBUG="-all",
                   BRINDORA_DAS_PORT=str(port), BRINDORA_BROWSER_LOG=self.browser_log,
                   PATH=self.fake_bin + os.pathsep + os.environ.get("PATH", ""))
        env.update(extra or {})
        return env

    def wine(self, *arguments, check=True, timeout=120):
        return subprocess.run([WINE, *arguments], env=self.environment(0), capture_output=True,
                              text=True, errors="replace", check=check, timeout=timeout)

    def make_prefix(self):
        try:
            self.wine("wineboot", "--init", timeout=600)
        except (subprocess.CalledProcessError, subprocess.TimeoutExpired) as error:
            raise SetupError(f"wine can't make a prefix here: {error}")

    def start_server(self, das_sim):
        return start_server(self.desktop, das_sim, [self.wine_run], self.environment(0))

    def command(self, arguments):
        return [*self.launcher, self.program, *arguments]

    def windows(self, name=None, visible=True):
        # Wine's windows carry no pid of ours; the private display holds only this program.
        query = [self.xdotool, "search", "--all"]
        if visible:
            query.append("--onlyvisible")
        query += ["--name", f"^{re.escape(name)}$" if name else "."]
        return self.run(*query, check=False).stdout.split()

    def set_value(self, name, kind, data):
        arguments = ["reg", "add", KEY, "/v", name, "/t", kind, "/f"]
        self.wine(*arguments, *(["/d", data] if data is not None else []))

    def values(self):
        """{name: (kind, data)} of the key, as wine's reg prints them."""
        result = self.wine("reg", "query", KEY, check=False)
        found = {}
        for line in result.stdout.splitlines():
            match = re.match(r"^\s+(\S+)\s+(REG_\w+)\s*(.*)$", line)
            if match:
                found[match[1]] = (match[2], match[3].strip())
        return found


class Scenario:
    def __init__(self, desktop, wine_run, brindora, das_sim, installer, workdir):
        self.desktop = desktop
        self.das_sim = das_sim
        self.installer = installer
        self.tray = TrayHost(desktop, workdir).start()
        self.remote = WineRemote(desktop, wine_run, brindora, workdir)
        self.remote.make_prefix()
        self.port = None

    def start(self, *arguments):
        if self.port is None:
            self.port = self.remote.start_server(self.das_sim)
        self.remote.start(self.port, *arguments)
        return self.remote.main_window()

    def frame_origin(self, window):
        node = self.tray.find(int(window))
        return (node.top_level().x, node.top_level().y) if node else None

    def expect_place(self, window, place):
        # Windows' frame metrics are wine's guess; icewm draws its own frame a few pixels off.
        def near():
            origin = self.frame_origin(window)
            return origin and all(abs(a - b) <= FRAME_SLACK for a, b in zip(origin, place))
        wait_for(near, f"window frame at {place} (it is at {self.frame_origin(window)})")

    def time_runs(self, window):
        """Two different pictures of the time label: the link is up and the window shows
        what the server reports (wine's windows can't be read over AT-SPI)."""
        def picture():
            shot = subprocess.run(["import", "-window", window, "-crop", TIME_LABEL, "rgb:-"],
                                  env=self.desktop.env, capture_output=True)
            return shot.stdout if shot.returncode == 0 else None
        first = wait_for(picture, "picture of the time label")
        wait_for(lambda: picture() not in (None, first), "the time label to change")

    def icon(self):
        def embedded():
            # The innermost window in the tray: icewm's embedder holds wine's icon window.
            icons = [node for node in self.tray.windows() if not node.children and any(
                parent.name == TRAY_WINDOW_NAME for parent in node.ancestors())]
            return icons[0] if len(icons) == 1 else None
        return wait_for(embedded, "wine's tray icon in icewm's tray")

    def close_box(self, window):
        self.remote.run("wmctrl", "-i", "-c", window)
        wait_for(self.remote.hidden, "main window hidden after the close box")

    def answer_password(self, typed):
        dialog = wait_for(lambda: self.remote.window("Restore Program"), "Restore Program dialog")
        self.remote.type_into(dialog, typed)

    def click_icon(self):
        icon = self.icon()
        time.sleep(HUMAN_PAUSE_SECONDS)
        self.remote.click(str(icon.id), ICON_CENTRE)

    def help(self, window):
        """What Help handed to the browser (as an unquoted address)."""
        self.remote.click(window, HELP_BUTTON)
        log = self.remote.browser_log
        return unquote(wait_for(lambda: os.path.exists(log) and open(log).read().strip(),
                                "Help handed to the browser"))

    def quit(self, window):
        self.remote.click(window, QUIT_BUTTON)
        self.remote.wait_for_exit("Quit")

    # -- the scenarios --

    def program(self):
        for value in OLD_PROGRAM_VALUES:
            self.remote.set_value(*value)
        window = self.start()
        self.expect_place(window, (260, 150))
        self.time_runs(window)
        print("the old program's place and server are used; the time runs")

        self.close_box(window)
        if self.remote.start(self.port, again=True) != 0:
            raise Failure("a further start did not end with status 0")
        self.answer_password("sECRET")
        window = self.remote.main_window("main window back after a further start")
        print("a further start asked the password and showed the hidden window; it ended with 0")
        self.close_box(window)
        self.click_icon()
        self.answer_password("Secret")
        window = self.remote.main_window("main window back after a click on the icon")
        print("a click on the tray icon asked the password and brought the window back")

        self.remote.click(window, ABOUT_BUTTON)
        self.remote.close_box_by_ok(ABOUT_TITLE)
        opened = self.help(window)
        if "brindora.htm" not in opened:
            raise Failure(f"Help opened {opened!r}, not the guide")
        print(f"About opened and closed; Help opened {opened}")

        self.remote.click(window, SETUP_BUTTON)
        dialog = wait_for(lambda: self.remote.window("Configuration"), "Configuration dialog")
        self.remote.xdo("windowfocus", "--sync", dialog)
        self.remote.xdo("key", "ctrl+a")
        self.remote.type_into(dialog, "127.0.0.1")
        wait_for(lambda: not self.remote.windows("Configuration"), "Configuration closed")
        self.quit(window)
        kinds = {name: kind for name, (kind, _) in self.remote.values().items()}
        expected = {name: kind for name, kind, _ in OLD_PROGRAM_VALUES}
        if kinds != expected:
            raise Failure(f"after Setup and Quit the key holds {self.remote.values()}")
        print(f"Setup and Quit left {sorted(kinds.items())} and nothing else")

    def autostart(self):
        self.remote.set_value("hostname", "REG_SZ", "127.0.0.1")
        window = self.start()
        # A click before the window is painted and connected can be lost in wine.
        self.time_runs(window)
        self.remote.click(window, SETUP_BUTTON)
        dialog = wait_for(lambda: self.remote.window("Configuration"), "Configuration dialog")
        self.remote.xdo("windowfocus", "--sync", dialog)
        self.remote.xdo("key", "Tab", "space", "Return")  # the box below the host, then Ok
        wait_for(lambda: not self.remote.windows("Configuration"), "Configuration closed")
        entry = self.run_entry()
        if not entry or not entry.endswith('brindora.exe" -autominimize'):
            raise Failure(f"the Run key holds {entry!r}")
        self.quit(window)
        # Qt's DLLs are on the runner's path; wine's services would keep pipes open.
        subprocess.run([self.remote.wine_run, "wineboot"], env=self.remote.environment(self.port),
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True,
                       timeout=120)
        self.remote.wait_hidden_at_start("-autominimize from the Run entry")
        self.click_icon()
        window = self.remote.main_window("main window back after a click on the icon")
        self.time_runs(window)
        self.remote.click(window, QUIT_BUTTON)
        wait_for(lambda: not self.remote.windows(WINDOW_TITLE, visible=False), "Quit")
        print(f"Setup wrote {entry}; log-on started it hidden")

    def press_keys(self, *keys, expected=b""):
        subprocess.run([self.remote.wine_run, os.environ["BRINDORA_PRESS_KEYS"], *keys],
                       check=True, env=self.remote.environment(0), timeout=60)
        sent = b""
        while len(sent) < len(expected):
            sent += wait_for(self.server.take, f"{expected!r} from the keys {keys} ({sent!r})")
        if sent != expected:
            raise Failure(f"the keys {keys} sent {sent!r}, not {expected!r}")
        print(f"keys {' '.join(keys)} -> {sent!r}")

    def media_keys(self):
        for value in OLD_PROGRAM_VALUES:
            self.remote.set_value(*value)
        self.server = RecordingServer()
        self.port = self.server.port
        window = self.start()
        wait_for(lambda: self.server.client, "the remote's connection")
        self.server.playing = True
        # Twice: the first change may be the window's first paint.
        self.time_runs(window)
        self.time_runs(window)
        self.press_keys("stop", "next", "prev", expected=b"stop\nnext\nprev\n")
        self.close_box(window)
        self.press_keys("play-pause", "stop", "next", "prev")
        if self.remote.start(self.port, again=True) != 0:
            raise Failure("a further start did not end with status 0")
        self.answer_password("Secret")
        window = self.remote.main_window("main window back after the password")
        # Handled in order, so only the later key coming through means the hidden window's
        # sent nothing; by now the time has long been running, and play/pause stops.
        self.press_keys("play-pause", expected=b"stop\n")
        self.quit(window)

    def installer_round(self):
        with open(self.installer, "rb") as exe:
            if b'level="asInvoker"' not in exe.read():
                raise Failure("the installer asks for an administrator")
        # Wine names the Windows user after the Linux one.
        user = pwd.getpwuid(os.getuid()).pw_name
        users = os.path.join(self.remote.prefix, "drive_c", "users", user)
        root = os.path.join(users, "AppData", "Local", "Programs", "Brindora Control")
        program = os.path.join(root, "bin", "brindora.exe")
        status = self.remote.wine(self.installer, "/S", "/AUTOSTART=yes", check=False).returncode
        if status != 2 or os.path.exists(root):
            raise Failure(f"/AUTOSTART=yes ended with {status} and left {os.path.exists(root)}")
        status = self.remote.wine(self.installer, "/S", "/AUTOSTART=1", check=False,
                                  timeout=300).returncode
        guide = os.path.join(root, "share", "doc", "brindora", "brindora.html")
        needed = [program, os.path.join(root, "bin", "Qt6Core.dll"),
                  os.path.join(root, "bin", "platforms", "qwindows.dll"), guide]
        wait_for(lambda: all(os.path.exists(path) for path in needed),
                 f"installed files (installer status {status})", 60)
        menu = os.path.join(users, "AppData", "Roaming", "Microsoft", "Windows", "Start Menu",
                            "Programs", "Brindora Control")
        if not any(name.endswith(".lnk") for name in os.listdir(menu)):
            raise Failure(f"no Start-menu entry in {menu}")
        uninstall = r"Software\Microsoft\Windows\CurrentVersion\Uninstall\Brindora Control"
        if (self.remote.wine("reg", "query", "HKCU\\" + uninstall, check=False).returncode
                or not self.remote.wine("reg", "query", "HKLM\\" + uninstall,
                                        check=False).returncode):
            raise Failure("the Apps entry is not the user's own")
        logon = '"C:\\%s" -autominimize' % "\\".join(["users", user, "AppData", "Local",
                                                       "Programs", "Brindora Control", "bin",
                                                       "brindora.exe"])
        if self.run_entry() != logon:
            raise Failure(f"/AUTOSTART=1 left the Run entry {self.run_entry()!r}")
        print(f"installed silently for the user into {root} with a Start-menu entry; {logon}")

        self.remote.set_value("hostname", "REG_SZ", "127.0.0.1")
        # Plain wine, without the build's Qt on its path: the installed folder must suffice.
        self.remote.launcher, self.remote.program = [WINE], program
        window = self.start()
        self.time_runs(window)
        opened = self.help(window)
        if "Brindora Control" not in opened:
            raise Failure(f"the installed program's Help opened {opened!r}")
        print("the installed program connected and found its guide")

        with open(guide, "rb") as file:
            packed = file.read()
        with open(guide, "wb") as file:
            file.write(b"older")
        def upgrade():
            # The copy it starts again keeps the installer's output open: none is read.
            return subprocess.run([WINE, self.installer, "/S"], env=self.remote.environment(0),
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                  timeout=300).returncode

        # A copy that can't quit (here: stopped) stops the upgrade before it changes anything.
        os.kill(self.remote.pid, signal.SIGSTOP)
        status = upgrade()
        os.kill(self.remote.pid, signal.SIGCONT)
        with open(guide, "rb") as file:
            if status == 0 or file.read() != b"older":
                raise Failure(f"an upgrade over a copy that did not quit ended with {status}")
        status = upgrade()
        self.remote.wait_for_exit(f"an upgrade (installer status {status})")
        with open(guide, "rb") as file:
            if file.read() != packed:
                raise Failure("the upgrade left an older file in place")
        if "viewertop" not in self.remote.values():
            raise Failure("the running copy did not save its settings as it quit for the upgrade")
        if self.run_entry() != logon:
            raise Failure(f"the upgrade left the Run entry {self.run_entry()!r}")
        # -quit ends with 1 once the copy the upgrade started again has quit, then 0: none runs.
        quit_status = lambda: self.remote.wine(program, "-quit", check=False).returncode  # noqa
        wait_for(lambda: quit_status() in (1, 2), "the copy the upgrade started, asked to quit")
        if quit_status() != 0:
            raise Failure("a copy still runs after -quit said it had quit")
        print("the upgrade quit the running copy, replaced the files and started it again")

        self.start()
        self.remote.wine("reg", "delete", KEY, "/v", "viewertop", "/f")
        self.remote.wine(os.path.join(root, "Uninstall.exe"), "/S", check=False)
        wait_for(lambda: not os.path.exists(program), "program removed by the uninstaller", 60)
        self.remote.wait_for_exit("the uninstaller")
        if not {"hostname", "viewertop"} <= self.remote.values().keys():
            raise Failure("the uninstaller lost the user's settings")
        if self.run_entry() is not None:
            raise Failure(f"the uninstaller left the Run entry {self.run_entry()!r}")
        print("the uninstaller quit the running copy, removed the program and its Run entry "
              "and left the settings")

    def run_entry(self):
        found = re.search(r"Brindora Control\s+REG_SZ\s+(.*)", self.remote.wine(
            "reg", "query", RUN_KEY, "/v", "Brindora Control", check=False).stdout)
        return found[1].strip() if found else None

SCENARIOS = {
    "program": Scenario.program,
    "installer": Scenario.installer_round,
    "autostart": Scenario.autostart,
    "media-keys": Scenario.media_keys,
}


def main(argv):
    return run_scenario(argv, __doc__, "brindora-wine-", SCENARIOS, Scenario, 6)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
