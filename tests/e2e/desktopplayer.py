#!/usr/bin/env python3
"""The program as a citizen of the desktop session, one scenario per run.

media: the real program as a media player on the private session bus, driven by
playerctl against a recording server on loopback: what playerctl reads, and the
exact bytes its commands put on the wire.
single: one copy per session: later starts hand over and end with 0, the first
shows its window (or stays hidden for -autominimize), and a copy killed with
SIGKILL does not block the next start.

Usage: desktopplayer.py SCENARIO BRINDORA
"""

import os
import signal
import socket
import subprocess
import sys
import threading
import time

from desktop import require_program, run_session
from remote import WINDOW_TITLE, Failure, Remote, wait_for
from trayhost import TrayHost

SETTINGS = "[General]\nhostname=127.0.0.1\n"


class RecordingServer:
    """Sends what the test says, a running time while 'playing', and keeps every byte
    the remote sends."""

    def __init__(self):
        self.listener = socket.create_server(("127.0.0.1", 0))
        self.port = self.listener.getsockname()[1]
        self.client = None
        self.received = b""
        self.playing = False
        self.seconds = 0
        self.lock = threading.Lock()
        threading.Thread(target=self._serve, daemon=True).start()

    def _serve(self):
        self.client, _ = self.listener.accept()
        threading.Thread(target=self._tick, daemon=True).start()
        while data := self.client.recv(4096):
            with self.lock:
                self.received += data

    def _tick(self):
        while True:
            if self.playing:
                self.seconds += 1
                self.send(f"304 0 0 {self.seconds}")
            time.sleep(0.4)

    def send(self, line):
        self.client.sendall(line.encode() + b"\n")

    def take(self):
        with self.lock:
            data, self.received = self.received, b""
        return data


class Run:
    def __init__(self, desktop, brindora, workdir):
        self.desktop = desktop
        self.remote = Remote(desktop, brindora, os.path.join(workdir, "config"),
                             os.path.join(workdir, "brindora.log"))
        os.makedirs(os.path.dirname(self.remote.settings_path))
        with open(self.remote.settings_path, "w") as store:
            store.write(SETTINGS)
        self.workdir = workdir
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

        if self.player("shuffle") != "Off":
            raise Failure(f"shuffle reads {self.player('shuffle')!r} with the server's off")
        self.expect_wire(server, ["shuffle", "Toggle"], b"shuffle\n")
        server.send("305 0 0 1")
        wait_for(lambda: self.player("shuffle") == "On", "shuffle On after the server's 305")

        # playerctl --follow prints from the change signal alone.
        follower = self.desktop.spawn([self.playerctl, "--player=brindora", "--follow",
                                       "metadata", "xesam:title"], stdout=subprocess.PIPE,
                                      text=True)
        titles = []
        threading.Thread(target=lambda: titles.extend(line.strip() for line in follower.stdout),
                         daemon=True).start()
        wait_for(lambda: "Harbour Lights" in titles, "the follower's first title")
        server.send('303 "Lantern Road"')
        wait_for(lambda: "Lantern Road" in titles, "the change signal for a new title")
        print("title change signalled to playerctl --follow")

    def single(self):
        TrayHost(self.desktop, self.workdir).start()
        port = 9  # the connection does not matter here
        self.remote.start(port, "-autominimize")
        wait_for(lambda: self.remote.windows(WINDOW_TITLE, visible=False), "main window made")
        wait_for(lambda: not self.remote.windows(WINDOW_TITLE), "main window hidden")

        status = self.remote.start_again(port, "-autominimize")
        if status != 0 or self.remote.windows(WINDOW_TITLE):
            raise Failure(f"-autominimize start: status {status}, window shown: "
                          f"{bool(self.remote.windows(WINDOW_TITLE))}")
        status = self.remote.start_again(port)
        if status != 0:
            raise Failure(f"a second start ended with {status}")
        wait_for(lambda: self.remote.window(WINDOW_TITLE), "the first copy's window shown")
        print("second starts ended with 0; the first showed its window for the plain one")

        os.kill(self.remote.pid, signal.SIGKILL)
        self.remote.process.wait()
        self.remote.start(port)
        wait_for(lambda: self.remote.window(WINDOW_TITLE), "a new copy after SIGKILL")
        if self.remote.start_again(port) != 0 or self.remote.process.poll() is not None:
            raise Failure("the new copy does not take over the session")
        print("after SIGKILL a new start runs and takes later starts")

    def report(self):
        print("brindora output:\n" + self.remote.log())


def main(argv):
    if len(argv) != 3 or argv[1] not in ("media", "single"):
        print(__doc__)
        return 2
    return run_session("brindora-desktop-", lambda desktop, workdir: Run(desktop, argv[2], workdir),
                       getattr(Run, argv[1]), f"{argv[1]}: as a desktop citizen should")


if __name__ == "__main__":
    sys.exit(main(sys.argv))
