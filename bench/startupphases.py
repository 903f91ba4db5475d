#!/usr/bin/env python3
"""Where the time goes between a start and the first mapped window, per phase, from outside.

Usage: bench/startupphases.py BRINDORA BAREWINDOW MAPWATCH [RUNS]   (as root, with perf)

Puts user-space probes (uprobes) on the program's own start-up steps and on a few calls into
Qt and libxcb, then starts the program and the bare window in turn under bench_mapwatch on a
private Xvfb, RUNS times each (9 by default), without and then with a private session bus.
A probe costs a few microseconds, against the milliseconds measured. Prints, per phase, the
median milliseconds from the program's exec to the phase's end and the phase's own length.
Needs the program built with its symbols (the release preset keeps them)."""
import os
import re
import statistics
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True  # no cache of startup.py left in the source tree
from startup import first_login, private_bus, start_xvfb  # noqa: E402

TRACING = "/sys/kernel/tracing"
GROUP = "brindora"
QT = "/usr/lib/x86_64-linux-gnu"

# (probe name, library or None for the program, symbol as nm -C prints it, whether its
# return is probed too). Qt's own steps are what the bare window does as well.
PROBES = [
    ("main", None, "main", False),
    ("application", f"{QT}/libQt6Widgets.so.6",
     "QApplication::QApplication(int&, char**, int)", True),
    ("guard", None, "SingleInstance::handOver(SingleInstance::Wish)", True),
    ("form", None, "TFormBrindora::TFormBrindora(BrindoraOptions const&)", True),
    ("settings", None, "TFormBrindora::LoadWindowSettings()", True),
    ("tray", None, "TFormBrindora::createHideTask()", True),
    ("trayhosts", None, "TrayHosts::TrayHosts(QObject*)", True),
    ("link", None, "TFormBrindora::StartLink()", True),
    ("player", None, "DesktopPlayer::DesktopPlayer(TFormBrindora&)", True),
    ("publish", None, "MprisService::publish(QDBusConnection const&)", True),
    ("art", None, "writePlayerArt(QString const&, QByteArray const&)", True),
    ("sessionbus", f"{QT}/libQt6DBus.so.6", "QDBusConnection::sessionBus()", True),
    ("show", f"{QT}/libQt6Widgets.so.6", "QWidget::setVisible(bool)", False),
    ("map", f"{QT}/libxcb.so.1", "xcb_map_window", False),
]


def symbol_offset(path, symbol):
    dynamic = ".so" in os.path.basename(path)  # a library's table of exported symbols
    out = subprocess.run(["nm", "-C", "--defined-only"] + (["-D"] if dynamic else []) + [path],
                         capture_output=True, text=True, check=True).stdout
    for line in out.splitlines():
        address, kind, name = line.split(" ", 2)
        if kind in "Tt" and re.sub(r"@.*", "", name) == symbol:
            return int(address, 16)  # text is mapped at its file offset in these files
    return None


def add_probes(brindora):
    remove_probes()
    for name, library, symbol, returns in PROBES:
        path = os.path.realpath(library or brindora)
        offset = symbol_offset(path, symbol)
        if offset is None:
            continue  # a step this build does not have
        for kind, suffix in (("p", "in"), ("r", "out")) if returns else (("p", "in"),):
            # Appended without a seek, which tracefs refuses.
            events = os.open(f"{TRACING}/uprobe_events", os.O_WRONLY | os.O_APPEND)
            try:
                os.write(events, f"{kind}:{GROUP}/{name}_{suffix} {path}:{offset:#x}\n".encode())
            finally:
                os.close(events)


def remove_probes():
    with open(f"{TRACING}/uprobe_events", "w") as events:
        events.write("")


def traced_run(mapwatch, program, env):
    """The probes' times in ms after the program's exec, first of each, and its map time."""
    with tempfile.TemporaryDirectory() as scratch, first_login(env) as env:
        data = os.path.join(scratch, "perf.data")
        subprocess.run(["perf", "record", "-q", "-o", data, "-e", f"{GROUP}:*", "-e",
                        "sched:sched_process_exec", "--", mapwatch, "--settle-ms", "200", "--",
                        program], env=env, check=True, capture_output=True, timeout=60)
        lines = subprocess.run(["perf", "script", "-i", data, "-F", "comm,time,event"],
                               capture_output=True, text=True, check=True).stdout.splitlines()
    stamps, start = {}, None
    for line in lines:
        fields = line.split()
        when, event = float(fields[-2].rstrip(":")) * 1000, fields[-1].rstrip(":")
        if event == "sched:sched_process_exec":
            start = when  # the last exec is the program's, after bench_mapwatch's own
            stamps.clear()
        elif start is not None:
            stamps.setdefault(event.split(":")[1], when - start)
    return stamps


# (phase, from, to): from and to are probe stamps; each phase's median length is shown.
PHASES = [
    ("loading, to main", None, "main_in"),
    ("QApplication", "application_in", "application_out"),
    ("one-copy guard", "guard_in", "guard_out"),
    ("window: controls, settings", "form_in", "settings_out"),
    ("  of which settings", "settings_in", "settings_out"),
    ("window: tray", "tray_in", "tray_out"),
    ("  of which tray watches", "trayhosts_in", "trayhosts_out"),
    ("window: link start", "link_in", "link_out"),
    ("media player", "player_in", "player_out"),
    ("  of which art file", "art_in", "art_out"),
    ("Qt's session bus connection", "sessionbus_in", "sessionbus_out"),
    ("show to map request", "show_in", "map_in"),
    ("exec to map request", None, "map_in"),
]


def summary(runs, title):
    print(f"  {title} ({len(runs)} runs), ms: median length / median end after exec "
          "(a phase not listed did not come before the map)")
    for phase, begin, end in PHASES:
        lengths = [r[end] - (r[begin] if begin else 0) for r in runs
                   if end in r and (begin is None or begin in r)]
        ends = [r[end] for r in runs if end in r]
        if lengths:
            print(f"    {phase:28} {statistics.median(lengths):7.2f} / "
                  f"{statistics.median(ends):7.2f}")


def main():
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    brindora, bare, mapwatch = (os.path.abspath(p) for p in sys.argv[1:4])
    runs = int(sys.argv[4]) if len(sys.argv) > 4 else 9
    if not os.access(f"{TRACING}/uprobe_events", os.W_OK):
        sys.exit(f"startupphases.py: needs root and tracefs at {TRACING} "
                 f"(mount -t tracefs nodev {TRACING})")
    add_probes(brindora)
    xvfb, display = start_xvfb()
    try:
        for with_bus in (False, True):
            with private_bus(with_bus) as bus:
                env = {k: v for k, v in os.environ.items()
                       if k not in ("WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS")}
                env.update(DISPLAY=display, QT_QPA_PLATFORM="xcb", **bus)
                results = {brindora: [], bare: []}
                for _ in range(runs):
                    for program in (brindora, bare):
                        stamps = traced_run(mapwatch, program, env)
                        # Anything the probes saw after the first map came after it.
                        results[program].append(
                            {k: v for k, v in stamps.items() if v <= stamps.get("map_in", 1e9)})
                label = "with a session bus" if with_bus else "without a session bus"
                print(f"--- {label} (load {os.getloadavg()[0]:.2f})")
                summary(results[brindora], "brindora")
                summary(results[bare], "bare window")
    finally:
        xvfb.terminate()
        xvfb.wait()
        remove_probes()


if __name__ == "__main__":
    main()
