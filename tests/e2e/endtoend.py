#!/usr/bin/env python3
"""End-to-end check of the remote against the demo server, driven from outside.

Starts the real brindora and das-sim on a private X display, enters the server
in Setup with real mouse clicks and key presses, and reads the window's labels
over AT-SPI until the server's title and a running time arrive; Quit must then
end the program with status 0.

Usage: endtoend.py BRINDORA DAS_SIM
"""

import re
import socket
import sys

from desktop import run_session
from remote import LIMIT, QUIT_BUTTON, SETUP_BUTTON, Failure, Remote, start_server, wait_for

NO_HOST = "Configure the IP Address -- use the <Setup> button"


def server_title(port):
    """The title das-sim announces to any newcomer, as UTF-8 text."""
    with socket.create_connection(("127.0.0.1", port), timeout=LIMIT) as connection:
        for raw in connection.makefile("rb"):
            match = re.fullmatch(rb'303 "(.*)"\n', raw)
            if match:
                return match.group(1).decode("utf-8")
    raise Failure("das-sim sent no title line")


class Run:
    def __init__(self, desktop, brindora, das_sim, workdir):
        self.desktop = desktop
        self.das_sim = das_sim
        self.remote = Remote(desktop, brindora, workdir)

    def exercise(self):
        port = start_server(self.desktop, self.das_sim)
        title = server_title(port)
        print(f"das-sim on port {port} plays {title!r}")
        remote = self.remote.start(port)
        remote.connect_accessibility()
        wait_for(lambda: remote.label_text("Song") == NO_HOST, f"song label reading {NO_HOST!r}")

        print("song label asks for a host; pressing Setup")
        main_window = remote.main_window()
        remote.click(main_window, SETUP_BUTTON)
        dialog = wait_for(lambda: remote.window("Configuration"), "Configuration dialog")
        # Without a window manager nobody hands the new dialog the keyboard;
        # a person would click into it, this gives it the focus directly.
        remote.type_into(dialog, "127.0.0.1")

        shown = wait_for(remote.song_title, "song title in the song label")
        if shown != title:
            raise Failure(f"song label shows {shown!r}, das-sim plays {title!r}")
        first, second = remote.wait_for_time_to_run()
        print(f"song label shows {shown!r}, time went from {first} to {second}; pressing Quit")

        remote.click(main_window, QUIT_BUTTON)
        remote.wait_for_exit("Quit")


def main(argv):
    if len(argv) != 3:
        print(__doc__)
        return 2
    return run_session("brindora-e2e-", lambda desktop, workdir: Run(desktop, argv[1], argv[2],
                                                                     workdir),
                       Run.exercise, "title and time arrived, Quit ended brindora with status 0")


if __name__ == "__main__":
    sys.exit(main(sys.argv))
