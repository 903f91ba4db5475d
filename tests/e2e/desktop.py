"""A private desktop for one test run: an Xvfb display, a D-Bus session bus and
the AT-SPI accessibility bus, all torn down again however the run ends."""

import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

from gi.repository import Gio, GLib

AT_SPI_BUS_LAUNCHER = "/usr/libexec/at-spi-bus-launcher"
PROPERTIES = "org.freedesktop.DBus.Properties"
LIMIT = 20  # seconds; generous, the steps normally take well under one


class Failure(Exception):
    """The program did not do what a user expects."""


class SetupError(Exception):
    """Something the test needs is missing or would not start."""


def require_program(name):
    path = shutil.which(name) or (name if os.access(name, os.X_OK) else None)
    if not path:
        raise SetupError(f"{name} not found; tools/install-deps.sh installs it")
    return path


def wait_for(probe, what, limit=LIMIT):
    """Polls probe() until it returns something true; returns that value."""
    deadline = time.monotonic() + limit
    while not (value := probe()):
        if time.monotonic() > deadline:
            raise Failure(f"no {what} within {limit} s")
        time.sleep(0.1)
    return value


def read_line(stream, what):
    # A blocking readline would hang the test if the program never answers,
    # so the pipe is polled until the limit.
    os.set_blocking(stream.fileno(), False)
    data = bytearray()

    def line():
        chunk = stream.read()
        if chunk == b"":
            raise SetupError(f"{what} closed its output without a line")
        data.extend(chunk or b"")
        return b"\n" in data and data.split(b"\n", 1)[0].decode()

    return wait_for(line, f"line from {what}", 30)


class Desktop:
    """Owns every helper process; stop() ends them in reverse order."""

    def __init__(self):
        self._processes = []
        self.env = dict(os.environ)
        for leaked in ("DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS",
                       "AT_SPI_BUS_ADDRESS", "XAUTHORITY"):
            self.env.pop(leaked, None)
        # The session's runtime folder, as a login has one: sockets left by programs killed
        # at the end go with it.
        self._runtime = tempfile.mkdtemp(prefix="brindora-runtime-")
        self.env["XDG_RUNTIME_DIR"] = self._runtime

    def spawn(self, argv, **kwargs):
        # Each helper leads its own process group so that stop() also ends the
        # children it spawned (the accessibility bus's own dbus-daemon).
        process = subprocess.Popen(argv, env=kwargs.pop("env", self.env),
                                   start_new_session=True, **kwargs)
        self._processes.append(process)
        return process

    def start(self):
        self._start_display()
        self._start_session_bus()
        self._start_accessibility_bus()
        return self

    def _start_display(self):
        xvfb = require_program("Xvfb")
        reader, writer = os.pipe()
        try:
            # -displayfd lets the server pick a free display number itself. -noreset: the
            # server must not reset (and refuse connections for a moment) each time its last
            # client leaves, as a helper that only looks in at start-up does.
            self.spawn([xvfb, "-displayfd", str(writer), "-screen", "0", "1024x768x24",
                        "-nolisten", "tcp", "-noreset"], pass_fds=(writer,),
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        finally:
            os.close(writer)
        with os.fdopen(reader, "rb") as stream:
            number = read_line(stream, "Xvfb")
        self.env["DISPLAY"] = f":{number}"

    def _start_session_bus(self):
        daemon = require_program("dbus-daemon")
        bus = self.spawn([daemon, "--session", "--nofork", "--print-address=1"],
                         stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.env["DBUS_SESSION_BUS_ADDRESS"] = read_line(bus.stdout, "dbus-daemon")
        self.bus = Bus(self.env["DBUS_SESSION_BUS_ADDRESS"])

    def _start_accessibility_bus(self):
        launcher = require_program(AT_SPI_BUS_LAUNCHER)
        self.spawn([launcher, "--launch-immediately"],
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        # The launcher announces the bus on the session bus; waiting for that
        # name keeps the program from starting before accessibility is there.
        wait_for(lambda: self.bus.call("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus",
                                       "GetAddress", quiet=True), "AT-SPI bus launcher", 30)

    def screenshot(self, path):
        grabber = shutil.which("import")
        if not grabber or "DISPLAY" not in self.env:
            return None
        result = subprocess.run([grabber, "-window", "root", path], env=self.env,
                                capture_output=True, timeout=30)
        return path if result.returncode == 0 else None

    def stop(self):
        for process in reversed(self._processes):
            end_group(process)
        self._processes.clear()
        shutil.rmtree(self._runtime, ignore_errors=True)


class Bus:
    """The test's own connection to the private session bus."""

    def __init__(self, address):
        self.connection = Gio.DBusConnection.new_for_address_sync(
            address, Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT
            | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION)

    def call(self, service, path, interface, method, signature=None, *arguments, typed=False,
             quiet=False):
        """The reply's values (as a GLib.Variant if typed); no answer within LIMIT seconds is a
        failure, or None if quiet."""
        try:
            reply = self.connection.call_sync(
                service, path, interface, method,
                GLib.Variant(signature, arguments) if signature else None, None,
                Gio.DBusCallFlags.NONE, LIMIT * 1000, None)
        except GLib.Error as error:
            if quiet:
                return None
            raise Failure(f"{interface}.{method} on {service}{path}: {error.message}")
        return reply if typed else reply.unpack()

    def get(self, service, path, interface, name, typed=False, quiet=False):
        reply = self.call(service, path, PROPERTIES, "Get", "(ss)", interface, name, typed=True,
                          quiet=quiet)
        if reply is None:
            return None
        value = reply.get_child_value(0).get_variant()
        return value if typed else value.unpack()

    def listen(self, sender, interface, path=None):
        """A function that returns the signals heard so far, each as its name and its
        arguments printed with their types."""
        heard = []
        self.connection.signal_subscribe(
            sender, interface, None, path, None, Gio.DBusSignalFlags.NONE,
            lambda *signal: heard.append((signal[4], signal[5].print_(True))))

        def so_far():
            while GLib.MainContext.default().iteration(False):
                pass
            return heard

        return so_far


def end_group(process, grace_seconds=5):
    try:
        os.killpg(process.pid, signal.SIGTERM)
    except ProcessLookupError:
        pass
    try:
        process.wait(grace_seconds)
    except subprocess.TimeoutExpired:
        pass
    try:
        os.killpg(process.pid, signal.SIGKILL)
    except ProcessLookupError:
        pass
    process.wait()


def run_session(prefix, make, act, success):
    """Runs act(make(desktop, workdir)) on a fresh private desktop and says PASS or
    FAIL; a failure prints the report of make()'s remote. Returns the exit status."""
    # A test runner stops a hung test with SIGTERM; exiting through the finally
    # below still takes the display, the buses and the programs down.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("FAIL: terminated"))
    desktop = Desktop()
    workdir = tempfile.mkdtemp(prefix=prefix)
    run = None
    try:
        desktop.start()
        run = make(desktop, workdir)
        act(run)
        print(f"PASS: {success}")
        return 0
    except (Failure, SetupError, OSError, subprocess.CalledProcessError) as error:
        print(f"FAIL: {error}")
        if run is not None:
            run.remote.report(desktop.screenshot(os.path.join(os.getcwd(), prefix + "failure.png")))
        return 1
    finally:
        desktop.stop()
        shutil.rmtree(workdir, ignore_errors=True)


def run_scenario(argv, doc, prefix, scenarios, make, count):
    """The command line of a scenario script, SCENARIO and then make()'s own count - 2
    arguments: runs that scenario on an object make(desktop, *arguments, workdir)."""
    if len(argv) != count or argv[1] not in scenarios:
        print(doc + "Scenarios: " + ", ".join(scenarios))
        return 2
    return run_session(prefix, lambda desktop, workdir: make(desktop, *argv[2:], workdir),
                       scenarios[argv[1]], argv[1])
