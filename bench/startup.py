#!/usr/bin/env python3
"""Start-up time and peak memory of the program against a bare Qt window, under Xvfb (xcb),
without and with a session bus.

Usage: bench/startup.py BRINDORA BAREWINDOW MAPWATCH [RUNS]

Starts a private Xvfb, then runs the program and the bare window in turn, RUNS times each
(20 by default; one unrecorded warm-up run of each first), each as the first start after a
login on first use (a fresh XDG_CONFIG_HOME, and a fresh XDG_RUNTIME_DIR in memory), first
with no session bus, then with a private dbus-daemon. bench_mapwatch times spawn to the first
map of the child's window and reads the child's peak resident set once it has settled. Prints
median and p90 of both and their ratio, one line per bus case, and the same less the time the
program's main thread waited for a processor (on a busy machine, the figure to compare)."""
import contextlib
import math
import os
import statistics
import subprocess
import sys
import tempfile


def start_xvfb():
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24",
                             "-nolisten", "tcp"], pass_fds=[write_end],
                            stderr=subprocess.DEVNULL)
    os.close(write_end)
    with os.fdopen(read_end) as pipe:
        display = pipe.readline().strip()
    if not display:
        xvfb.kill()
        sys.exit("startup.py: Xvfb did not start")
    return xvfb, ":" + display


@contextlib.contextmanager
def private_bus(wanted):
    """The bus variables to add to the environment: a private session bus's, or none."""
    if not wanted:
        yield {}
        return
    # As root it says each time that it may not raise its file limit; nothing else to say.
    daemon = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    address = daemon.stdout.readline().strip()
    try:
        if not address:
            sys.exit("startup.py: dbus-daemon did not start")
        yield {"DBUS_SESSION_BUS_ADDRESS": address}
    finally:
        daemon.terminate()
        daemon.wait()


@contextlib.contextmanager
def first_login(env):
    """A fresh settings folder and runtime folder, the latter in memory as logind makes it."""
    memory = "/dev/shm" if os.path.isdir("/dev/shm") else None
    with tempfile.TemporaryDirectory() as profile, \
            tempfile.TemporaryDirectory(dir=memory) as runtime:
        os.chmod(runtime, 0o700)
        yield dict(env, XDG_CONFIG_HOME=profile, XDG_RUNTIME_DIR=runtime)


def run_once(mapwatch, program, env):
    with first_login(env) as env:
        out = subprocess.run([mapwatch, "--", program], env=env, capture_output=True, text=True,
                             timeout=60)
    if out.returncode != 0:
        sys.exit(f"startup.py: {program}: {out.stderr.strip()}")
    fields = dict(item.split("=") for item in out.stdout.split())
    # Less the main thread's wait for a processor: what a quiet machine would have shown.
    return (float(fields["shown_ms"]), int(fields["maxrss_kib"]) / 1024,
            float(fields["shown_ms"]) - float(fields["queued_ms"]))


def p90(values):
    ordered = sorted(values)
    return ordered[max(0, math.ceil(0.9 * len(ordered)) - 1)]


def measure(brindora, bare, mapwatch, runs, env, label):
    run_once(mapwatch, brindora, env)
    run_once(mapwatch, bare, env)
    results = {brindora: [], bare: []}
    for _ in range(runs):
        for program in (brindora, bare):
            results[program].append(run_once(mapwatch, program, env))
    summary = {}
    for name, program in (("brindora", brindora), ("bare window", bare)):
        times = [t for t, _, _ in results[program]]
        memory = [m for _, m, _ in results[program]]
        unqueued = [u for _, _, u in results[program]]
        summary[name] = (statistics.median(times), p90(times), statistics.median(memory),
                         max(memory), statistics.median(unqueued))
        print(f"{name:12} start to shown: median {summary[name][0]:7.1f} ms, p90 "
              f"{summary[name][1]:7.1f} ms, less waits for a processor {summary[name][4]:7.1f} "
              f"ms; peak RSS median {summary[name][2]:6.1f} MiB, max {summary[name][3]:6.1f} MiB "
              f"({runs} runs, {label})")
    ours, ref = summary["brindora"], summary["bare window"]
    print(f"start-up {label}: median {ours[0] / ref[0]:.2f} x bare, p90 {ours[1] / ref[1]:.2f} "
          f"x bare, less waits for a processor {ours[4] / ref[4]:.2f} x bare; peak RSS: bare + "
          f"{ours[2] - ref[2]:.1f} MiB (medians); load {os.getloadavg()[0]:.2f}")


def main():
    brindora, bare, mapwatch = sys.argv[1:4]
    runs = int(sys.argv[4]) if len(sys.argv) > 4 else 20
    xvfb, display = start_xvfb()
    try:
        for with_bus, label in ((False, "without a session bus"), (True, "with a session bus")):
            with private_bus(with_bus) as bus:
                env = {k: v for k, v in os.environ.items()
                       if k not in ("WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS")}
                env.update(DISPLAY=display, QT_QPA_PLATFORM="xcb", **bus)
                measure(brindora, bare, mapwatch, runs, env, label)
    finally:
        xvfb.terminate()
        xvfb.wait()


if __name__ == "__main__":
    main()
