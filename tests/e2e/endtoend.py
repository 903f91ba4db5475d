#!/usr/bin/env python3
"""End-to-end check of the remote against the demo server, driven from outside.

Starts the real brindora and das-sim on a private X display, enters the server
in Setup with real mouse clicks and key presses, and reads the window's labels
over AT-SPI until the server's title and a running time arrive; Quit must then
end the program with status 0.

Usage: endtoend.py BRINDORA DAS_SIM
"""

import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

import a11y
from desktop import Desktop, SetupError, read_line, require_program

WINDOW_TITLE = "Orvid's Brindora Control"
NO_HOST = "Configure the IP Address -- use the <Setup> button"
LINK_MESSAGES = {
    "",
    "Connecting...",
    NO_HOST,
    "unable to resolve address -- use the <Setup> button",
    "unable to connect -- use the <Setup> button",
}
TIME_PATTERN = re.compile(r"^\d{2,}:\d{2}:\d{2}$")
# Client coordinates of the main window's buttons (each 41 x 22 at y = 8).
SETUP_BUTTON = (230, 19)
QUIT_BUTTON = (356, 19)
LIMIT = 20  # seconds; generous, the steps normally take well under one


class Failure(Exception):
    pass


def wait_for(probe, what, limit=LIMIT):
    """Polls probe() until it returns something true; returns that value."""
    deadline = time.monotonic() + limit
    while True:
        value = probe()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure(f"no {what} within {limit} s")
        time.sleep(0.1)


class Run:
    def __init__(self, desktop, brindora, das_sim, workdir):
        self.desktop = desktop
        self.brindora_path = brindora
        self.das_sim_path = das_sim
        self.workdir = workdir
        self.xdotool = require_program("xdotool")
        self.atspi = None
        self.application = None
        self.brindora = None
        self.log_path = os.path.join(workdir, "brindora.log")

    def start_server(self):
        server = self.desktop.spawn([self.das_sim_path, "--host", "127.0.0.1", "--port", "0"],
                                    stdout=subprocess.PIPE)
        line = read_line(server.stdout, "das-sim")
        match = re.fullmatch(r"listening on 127\.0\.0\.1:(\d+)", line)
        if not match:
            raise Failure(f"das-sim printed {line!r}")
        return int(match.group(1))

    def server_title(self, port):
        """The title das-sim announces to any newcomer, as UTF-8 text."""
        with socket.create_connection(("127.0.0.1", port), timeout=LIMIT) as connection:
            stream = connection.makefile("rb")
            for raw in stream:
                match = re.fullmatch(rb'303 "(.*)"\n', raw)
                if match:
                    return match.group(1).decode("utf-8")
        raise Failure("das-sim sent no title line")

    def start_remote(self, port):
        env = dict(self.desktop.env,
                   QT_QPA_PLATFORM="xcb",
                   QT_ACCESSIBILITY="1",
                   QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                   BRINDORA_DAS_PORT=str(port),
                   XDG_CONFIG_HOME=os.path.join(self.workdir, "config"))
        with open(self.log_path, "wb") as log:
            self.brindora = self.desktop.spawn([self.brindora_path], env=env, stdout=log,
                                               stderr=subprocess.STDOUT)

    def window(self, name):
        # --all: without it xdotool matches the pid OR the name.
        result = subprocess.run(
            [self.xdotool, "search", "--all", "--onlyvisible", "--pid", str(self.brindora.pid),
             "--name", f"^{re.escape(name)}$"],
            env=self.desktop.env, capture_output=True, text=True)
        found = result.stdout.split()
        return found[0] if len(found) == 1 else None

    def xdo(self, *arguments):
        subprocess.run([self.xdotool, *arguments], env=self.desktop.env, check=True)

    def click(self, window, position):
        self.xdo("mousemove", "--sync", "--window", window, str(position[0]),
                 str(position[1]), "click", "1")

    def label_text(self, role):
        label = a11y.find_label(self.application, role)
        if label is None:
            return None
        text = a11y.text_of(label)
        if text is None:
            # No amount of waiting helps: a screen reader hears only the role.
            raise Failure(f"the {role!r} label offers its text nowhere over AT-SPI: its "
                          "accessible name replaces the text and it has no Text interface")
        return text

    def exercise(self):
        port = self.start_server()
        title = self.server_title(port)
        print(f"das-sim on port {port} plays {title!r}")
        self.start_remote(port)

        self.atspi = a11y.connect(self.desktop.env)
        self.application = wait_for(
            lambda: a11y.find_application(self.atspi, self.brindora.pid),
            "brindora on the accessibility bus")
        wait_for(lambda: self.label_text("Song") == NO_HOST, f"song label reading {NO_HOST!r}")

        print("song label asks for a host; pressing Setup")
        main_window = wait_for(lambda: self.window(WINDOW_TITLE), "main window")
        self.click(main_window, SETUP_BUTTON)
        dialog = wait_for(lambda: self.window("Configuration"), "Configuration dialog")
        # Without a window manager nobody hands the new dialog the keyboard;
        # a person would click into it, this gives it the focus directly.
        self.xdo("windowfocus", "--sync", dialog)
        self.xdo("type", "--delay", "50", "127.0.0.1")
        self.xdo("key", "Return")

        shown = wait_for(self.song_title, "song title in the song label")
        if shown != title:
            raise Failure(f"song label shows {shown!r}, das-sim plays {title!r}")
        first = wait_for(lambda: self.matching_time(), "h:m:s time in the time label")
        second = wait_for(lambda: self.matching_time(other_than=first), "change of the time")
        print(f"song label shows {shown!r}, time went from {first} to {second}; pressing Quit")

        self.click(main_window, QUIT_BUTTON)
        try:
            status = self.brindora.wait(LIMIT)
        except subprocess.TimeoutExpired:
            raise Failure(f"brindora still runs {LIMIT} s after Quit")
        if status != 0:
            raise Failure(f"brindora ended with status {status} after Quit")

    def song_title(self):
        text = self.label_text("Song")
        return None if text in LINK_MESSAGES else text

    def matching_time(self, other_than=None):
        text = self.label_text("Time")
        return text if text and TIME_PATTERN.match(text) and text != other_than else None

    def report(self):
        """Everything that makes a failure diagnosable, written to stdout."""
        if self.application is not None:
            try:
                print("AT-SPI tree of brindora:\n" + a11y.describe(self.application))
            except Exception as error:
                print(f"AT-SPI tree unreadable: {error}")
        else:
            print("brindora never appeared on the accessibility bus")
        shot = self.desktop.screenshot(os.path.join(os.getcwd(), "e2e-failure.png"))
        print(f"screenshot: {shot}" if shot else "no screenshot (imagemagick's import missing?)")
        if os.path.exists(self.log_path):
            with open(self.log_path, errors="replace") as log:
                print("brindora output:\n" + log.read())


def main(argv):
    if len(argv) != 3:
        print(__doc__)
        return 2
    # A test runner stops a hung test with SIGTERM; exiting through the finally
    # below still takes the display, the buses and both programs down.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("FAIL: terminated"))
    desktop = Desktop()
    workdir = tempfile.mkdtemp(prefix="brindora-e2e-")
    run = None
    try:
        desktop.start()
        run = Run(desktop, argv[1], argv[2], workdir)
        run.exercise()
        print("PASS: title and time arrived, Quit ended brindora with status 0")
        return 0
    except (Failure, SetupError, OSError, subprocess.CalledProcessError) as error:
        print(f"FAIL: {error}")
        if run is not None:
            run.report()
        return 1
    finally:
        desktop.stop()
        shutil.rmtree(workdir, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
