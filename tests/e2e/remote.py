"""The real remote and the real demo server on a private desktop, and the
small moves a user makes with them (xdotool) and a screen reader hears (AT-SPI)."""

import configparser
import os
import re
import socket
import subprocess
import threading
import time

import a11y
from desktop import LIMIT, Failure, read_line, require_program, wait_for

WINDOW_TITLE = "Orvid's Brindora Control"
ABOUT_TITLE = "About Orvid's Brindora Controller"
# A server already set, as after an earlier Setup, so the link comes up at once.
CONNECTED_SETTINGS = "[General]\nhostname=127.0.0.1\n"
PASSWORD_SETTINGS = CONNECTED_SETTINGS + "hidetask_usepassword=1\nhidetask_password=Secret\n"
LINK_MESSAGES = {
    "",
    "Connecting...",
    "Configure the IP Address -- use the <Setup> button",
    "unable to resolve address -- use the <Setup> button",
    "unable to connect -- use the <Setup> button",
}
TIME_PATTERN = re.compile(r"^\d{2,}:\d{2}:\d{2}$")
# Client coordinates of the main window's buttons (each 41 x 22 at y = 8).
SETUP_BUTTON = (230, 19)
QUIT_BUTTON = (356, 19)


def start_server(desktop, das_sim, launcher=(), env=None):
    """Starts das-sim (through launcher, such as wine) on a free loopback port and returns
    the port."""
    server = desktop.spawn([*launcher, das_sim, "--host", "127.0.0.1", "--port", "0"],
                           env=env or desktop.env, stdout=subprocess.PIPE)
    # A Windows build ends its lines in CR LF.
    line = read_line(server.stdout, "das-sim").rstrip("\r")
    match = re.fullmatch(r"listening on 127\.0\.0\.1:(\d+)", line)
    if not match:
        raise Failure(f"das-sim printed {line!r}")
    return int(match.group(1))


def exit_status(process, what):
    try:
        return process.wait(LIMIT)
    except subprocess.TimeoutExpired:
        raise Failure(f"{what} still runs after {LIMIT} s")


class RecordingServer:
    """Sends what the test says and a running time while playing; keeps what it gets."""

    def __init__(self):
        self.listener = socket.create_server(("127.0.0.1", 0))
        self.port = self.listener.getsockname()[1]
        self.client = None
        self.hung_up = False
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
        self.hung_up = True

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


class Remote:
    """Runs of brindora with their own settings folder in workdir."""

    def __init__(self, desktop, program, workdir):
        self.desktop = desktop
        self.program = program
        self.config_home = os.path.join(workdir, "config")
        self.log_path = os.path.join(workdir, "brindora.log")
        self.xdotool = require_program("xdotool")
        self.process = None
        self.application = None
        self._atspi = None

    @property
    def settings_path(self):
        return os.path.join(self.config_home, "Pellwyn", "QXBrindora.conf")

    def write_settings(self, text):
        os.makedirs(os.path.dirname(self.settings_path), exist_ok=True)
        with open(self.settings_path, "w") as store:
            store.write(text)

    def environment(self, port, extra=None):
        env = dict(self.desktop.env,
                   QT_QPA_PLATFORM="xcb",
                   QT_ACCESSIBILITY="1",
                   QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                   BRINDORA_DAS_PORT=str(port),
                   XDG_CONFIG_HOME=self.config_home)
        env.update(extra or {})
        return env

    def launch(self, das_sim, *arguments, settings=None, environment=None):
        """Starts das-sim and, with these settings if given, brindora; returns the port."""
        if settings is not None:
            self.write_settings(settings)
        port = start_server(self.desktop, das_sim)
        self.start(port, *arguments, environment=environment)
        return port

    def start(self, port, *arguments, environment=None, again=False):
        """Starts brindora; a further start (again) in the same session and profile
        returns its exit status."""
        with open(self.log_path, "ab") as log:
            process = self.desktop.spawn(self.command(arguments),
                                         env=self.environment(port, environment),
                                         stdout=log, stderr=subprocess.STDOUT)
        if again:
            return exit_status(process, "a further start")
        self.process = process
        return self

    def command(self, arguments):
        return [self.program, *arguments]

    @property
    def pid(self):
        return self.process.pid

    def connect_accessibility(self):
        self._atspi = a11y.connect(self.desktop.env)
        self.application = wait_for(lambda: a11y.find_application(self._atspi, self.pid),
                                    "brindora on the accessibility bus")

    def run(self, *arguments, check=True):
        return subprocess.run(arguments, env=self.desktop.env, capture_output=True,
                              text=True, check=check)

    def xdo(self, *arguments):
        return self.run(self.xdotool, *arguments).stdout

    def windows(self, name=None, visible=True):
        """Ids (as xdotool prints them) of this process's windows."""
        # --all: without it xdotool matches the pid OR the name.
        query = [self.xdotool, "search", "--all", "--pid", str(self.pid)]
        if visible:
            query.append("--onlyvisible")
        if name is not None:
            query += ["--name", f"^{re.escape(name)}$"]
        return self.run(*query, check=False).stdout.split()

    def window(self, name):
        found = self.windows(name)
        return found[0] if len(found) == 1 else None

    def main_window(self, what="visible main window"):
        return wait_for(lambda: self.window(WINDOW_TITLE), what)

    def hidden(self):
        return not self.windows(WINDOW_TITLE)

    def wait_hidden_at_start(self, why):
        # The window is made at start-up; wait until X knows it, then until it is gone.
        wait_for(lambda: self.windows(WINDOW_TITLE, visible=False), "main window made")
        wait_for(self.hidden, f"main window hidden by {why}")

    def click(self, window, position, button=1, action="click"):
        # No --sync: it waits for the pointer to move and so hangs for seconds
        # when it already stands there (a second click on the tray icon). The
        # move and the button reach the X server in order on one connection.
        self.xdo("mousemove", "--window", window, str(position[0]), str(position[1]),
                 action, str(button))

    def type_into(self, window, text):
        # Focus is set directly: the window manager may hand a new dialog the
        # keyboard a moment late, and typing must not race it.
        self.xdo("windowfocus", "--sync", window)
        self.xdo("type", "--delay", "50", text)
        self.xdo("key", "Return")

    def close_box_by_ok(self, title):
        """Presses Return in the program's one window of that title (About, a message) and
        waits until it has gone."""
        box = wait_for(lambda: self.window(title), f"{title!r} box")
        self.xdo("windowfocus", "--sync", box)
        self.xdo("key", "Return")
        wait_for(lambda: not self.windows(title), f"{title!r} box closed by Ok")

    def label_text(self, role):
        label = a11y.find_label(self.application, role)
        if label is None:
            return None
        text = a11y.text_of(label)
        if text is None:
            raise Failure(f"the {role!r} label offers its text nowhere over AT-SPI")
        return text

    def song_title(self):
        text = self.label_text("Song")
        return None if text in LINK_MESSAGES else text

    def running_time(self, other_than=None):
        text = self.label_text("Time")
        return text if text and TIME_PATTERN.match(text) and text != other_than else None

    def wait_for_time_to_run(self):
        """Two different times in a row: the link is up and the server talks."""
        first = wait_for(self.running_time, "h:m:s time in the time label")
        return first, wait_for(lambda: self.running_time(other_than=first),
                               f"change of the time after {first}")

    def wait_for_exit(self, what):
        status = exit_status(self.process, f"brindora, after {what},")
        if status != 0:
            raise Failure(f"brindora ended with status {status} after {what}")

    def read_settings(self, *needed):
        """The settings file's [General] values ({} without a file), or None while one of
        `needed` is missing."""
        parser = configparser.ConfigParser(interpolation=None)
        parser.read(self.settings_path)
        stored = dict(parser["General"]) if parser.has_section("General") else {}
        return stored if all(key in stored for key in needed) else None

    def report(self, screenshot):
        """Everything that makes a failure diagnosable, written to stdout."""
        print("X window tree:\n" + self.run("xwininfo", "-root", "-tree", check=False).stdout)
        try:
            print("AT-SPI tree of brindora:\n" + a11y.describe(self.application)
                  if self.application else "brindora was not read over AT-SPI")
        except Exception as error:  # the program may be gone
            print(f"AT-SPI tree unreadable: {error}")
        print(f"screenshot: {screenshot}" if screenshot else "no screenshot (import missing?)")
        with open(self.log_path, "a+", errors="replace") as log:
            log.seek(0)
            print("brindora output:\n" + log.read())
