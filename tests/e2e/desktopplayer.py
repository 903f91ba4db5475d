#!/usr/bin/env python3
"""The program in the desktop session, one scenario per run. media: playerctl on the
private session bus against a recording server: what it reads, the bytes its commands
send. controls: what the player offers while connecting, after Setup names a server that
refuses, and under a restore password, shown and hidden (and its picture, with a link
planted in its place).
single: later starts hand over and end with 0; a copy killed with SIGKILL does not block
the next start.

Usage: desktopplayer.py SCENARIO BRINDORA
"""

import os
import signal
import sys

from gi.repository import GLib

from desktop import PROPERTIES, require_program, run_session
from remote import (CONNECTED_SETTINGS, PASSWORD_SETTINGS, SETUP_BUTTON, Failure, RecordingServer,
                    Remote, wait_for)
from trayhost import TrayHost

PLAYER = ("org.mpris.MediaPlayer2.brindora", "/org/mpris/MediaPlayer2")
ICON = os.path.join(os.path.dirname(__file__), "..", "..", "data", "icons", "brindora-256.png")


class Run:
    def __init__(self, desktop, brindora, workdir):
        self.desktop, self.workdir = desktop, workdir
        self.remote = Remote(desktop, brindora, workdir)
        self.remote.write_settings(CONNECTED_SETTINGS)
        self.playerctl = require_program("playerctl")

    def player(self, *arguments):
        result = self.remote.run(self.playerctl, "--player=brindora", *arguments, check=False)
        return result.stdout.strip() if result.returncode == 0 else None

    def expect_wire(self, server, arguments, expected):
        self.player(*arguments)
        sent = wait_for(server.take, f"bytes from 'playerctl {' '.join(arguments)}'")
        if sent != expected:
            raise Failure(f"'playerctl {' '.join(arguments)}' sent {sent!r}, not {expected!r}")
        print(f"playerctl {' '.join(arguments)} -> {sent!r}")

    def media(self):
        server = RecordingServer()
        self.remote.start(server.port)
        wait_for(lambda: server.client, "the remote's connection")
        server.send('303 "Harbour Lights"')
        server.send("305 0 0 0")
        wait_for(lambda: "brindora" in (self.player("--list-all") or "").split(),
                 "brindora among playerctl's players")
        heard = self.desktop.bus.listen(PLAYER[0], PROPERTIES)
        wait_for(lambda: self.player("metadata", "xesam:title") == "Harbour Lights",
                 "the title through playerctl")

        server.playing = True
        wait_for(lambda: self.player("status") == "Playing", "status Playing while time runs")
        for command, sent in (("play-pause", b"stop\n"), ("pause", b"stop\n"),
                              ("next", b"next\n"), ("previous", b"prev\n"), ("stop", b"stop\n")):
            self.expect_wire(server, [command], sent)
        server.playing = False
        wait_for(lambda: self.player("status") == "Stopped", "status Stopped once time stands")
        self.expect_wire(server, ["play-pause"], b"play\n")
        self.expect_wire(server, ["play"], b"play\n")

        wait_for(lambda: self.player("shuffle") == "Off", "shuffle Off as the server says")
        self.expect_wire(server, ["shuffle", "Toggle"], b"shuffle\n")
        server.send("305 0 0 1")
        wait_for(lambda: self.player("shuffle") == "On", "shuffle On after the server's 305")

        server.send('303 "Lantern Road"')
        changed = wait_for(lambda: [text for _, text in heard() if "Lantern Road" in text],
                           "PropertiesChanged for the new title")
        if "<objectpath '/" not in changed[0] or any("'Position'" in text for _, text in heard()):
            raise Failure(f"track id not an object path, or the position signalled: {heard()}")
        # Read directly: playerctl reports a stopped player's position as 0.
        position = self.desktop.bus.get(*PLAYER, "org.mpris.MediaPlayer2.Player", "Position",
                                        typed=True).print_(True)
        if position != f"int64 {server.seconds * 1000000}":
            raise Failure(f"position {position} µs, the server said {server.seconds} s")

    def read(self, name):
        return self.desktop.bus.get(*PLAYER, "org.mpris.MediaPlayer2.Player", name, quiet=True)

    def controls(self):
        planted = os.path.join(self.workdir, "planted")
        open(planted, "w").close()
        art_folder = os.path.join(self.desktop.env["XDG_RUNTIME_DIR"], "brindora")
        os.makedirs(art_folder, mode=0o700)
        os.symlink(planted, os.path.join(art_folder, "brindora.png"))
        TrayHost(self.desktop, self.workdir).start()
        for settings, controllable, then in ((CONNECTED_SETTINGS, True, None),
                                             (CONNECTED_SETTINGS, True, self.change_server),
                                             (PASSWORD_SETTINGS, True, self.guard),
                                             (CONNECTED_SETTINGS, True, self.guard)):
            server = RecordingServer() if then else None
            self.remote.write_settings(settings)
            self.remote.start(server.port if server else 9)  # 9: nothing listens
            # Read at once, as a client reads it once, mostly before the link is up.
            wait_for(lambda: self.read("CanControl") is not None, "the player on the bus")
            if self.read("CanControl") != controllable:
                raise Failure(f"CanControl not {controllable} at start with {settings!r}")
            if then:
                wait_for(lambda: server.client, "the remote's connection")
                server.send('303 "Harbour Lights"')
                then(server)
            self.desktop.bus.call(*PLAYER, "org.mpris.MediaPlayer2", "Quit")
            self.remote.wait_for_exit("Quit over the bus")
        if os.path.getsize(planted):
            raise Failure("the picture was written through a planted link")
        print("CanControl constant; CanPlay follows a server change, and the window hidden "
              "behind a password")

    def change_server(self, server):
        wait_for(lambda: self.read("CanPlay"), "CanPlay once connected")
        self.remote.click(self.remote.main_window(), SETUP_BUTTON)
        dialog = wait_for(lambda: self.remote.window("Configuration"), "Configuration dialog")
        self.remote.xdo("windowfocus", "--sync", dialog)
        self.remote.xdo("key", "ctrl+a")
        self.remote.type_into(dialog, "127.0.0.2")  # loopback, but nothing listens there
        wait_for(lambda: self.read("CanPlay") is False, "CanPlay false after the server change")

    def guard(self, server):
        """Under a password the window in view takes commands; hidden, it takes none and
        says so, until Raise has asked the password. Also a password set while it runs."""
        self.remote.write_settings(PASSWORD_SETTINGS)
        metadata = wait_for(lambda: self.read("Metadata"), "the title")
        with open(ICON, "rb") as icon, \
                open(metadata.get("mpris:artUrl", "file://").removeprefix("file://"), "rb") as art:
            if art.read() != icon.read():
                raise Failure(f"the picture {metadata} is not the program's icon")
        heard = self.desktop.bus.listen(PLAYER[0], PROPERTIES)
        # Straight to the program: playerctl itself would not ask a player that says no.
        player = PLAYER + ("org.mpris.MediaPlayer2.Player",)
        self.desktop.bus.call(*player, "Next")
        if wait_for(server.take, "bytes from Next") != b"next\n" or not self.read("CanPlay"):
            raise Failure("under a password the window in view offers or takes no command")
        self.remote.run(require_program("wmctrl"), "-i", "-c", self.remote.main_window())
        wait_for(lambda: [text for _, text in heard() if "'CanPlay': <false>" in text],
                 "CanPlay false announced as the window hides")
        self.desktop.bus.call(*player, "Next")
        self.desktop.bus.call(*PLAYER, PROPERTIES, "Set", "(ssv)", player[2], "Shuffle",
                              GLib.Variant("b", True))
        self.desktop.bus.call(*PLAYER, "org.mpris.MediaPlayer2", "Raise")
        self.remote.type_into(wait_for(lambda: self.remote.window("Restore Program"),
                                       "password dialog on Raise"), "sECRET")
        wait_for(lambda: self.read("CanPlay"), "CanPlay once the window is back")
        if server.take() or not self.read("CanControl"):
            raise Failure("a command reached the server from the hidden window, or CanControl "
                          "is false")

    def single(self):
        TrayHost(self.desktop, self.workdir).start()
        port = 9  # the connection does not matter here
        self.remote.start(port, "-autominimize")
        self.remote.wait_hidden_at_start("-autominimize")

        # The running copy reads the wish before a later start ends, so nothing comes late.
        if self.remote.start(port, "-autominimize", again=True) or not self.remote.hidden():
            raise Failure("an -autominimize start failed or showed the running copy")
        if self.remote.start(port, again=True) != 0:
            raise Failure("a second start ended with a failure status")
        self.remote.main_window("the first copy's window shown")
        print("second starts ended with 0; the first showed its window for the plain one")

        os.kill(self.remote.pid, signal.SIGKILL)
        self.remote.process.wait()
        self.remote.start(port)
        self.remote.main_window("a new copy after SIGKILL")
        if self.remote.start(port, again=True) != 0 or self.remote.process.poll() is not None:
            raise Failure("the new copy does not take over the session")
        print("after SIGKILL a new start runs and takes later starts")


def main(argv):
    if len(argv) != 3 or argv[1] not in ("media", "controls", "single"):
        print(__doc__)
        return 2
    return run_session("brindora-desktop-", lambda desktop, workdir: Run(desktop, argv[2], workdir),
                       getattr(Run, argv[1]), f"{argv[1]}: as a desktop citizen should")


if __name__ == "__main__":
    sys.exit(main(sys.argv))
