#!/usr/bin/env python3
"""Start-up time and peak memory of the program against a bare Qt window, under Xvfb (xcb).

Usage: bench/startup.py BRINDORA BAREWINDOW MAPWATCH [RUNS]

Starts a private Xvfb, then runs the program and the bare window in turn, RUNS times each
(20 by default; one unrecorded warm-up run of each first), each with a fresh XDG_CONFIG_HOME.
bench_mapwatch times spawn to the first map of the child's window and reads the child's
peak resident set once it has settled. Prints median and p90 of both and their ratios."""
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


def run_once(mapwatch, program, display):
    with tempfile.TemporaryDirectory() as profile:
        env = dict(os.environ, DISPLAY=display, QT_QPA_PLATFORM="xcb", XDG_CONFIG_HOME=profile)
        env.pop("WAYLAND_DISPLAY", None)
        out = subprocess.run([mapwatch, "--", program], env=env, capture_output=True, text=True,
                             timeout=60)
    if out.returncode != 0:
        sys.exit(f"startup.py: {program}: {out.stderr.strip()}")
    fields = dict(item.split("=") for item in out.stdout.split())
    return float(fields["shown_ms"]), int(fields["maxrss_kib"]) / 1024


def p90(values):
    ordered = sorted(values)
    return ordered[max(0, math.ceil(0.9 * len(ordered)) - 1)]


def main():
    brindora, bare, mapwatch = sys.argv[1:4]
    runs = int(sys.argv[4]) if len(sys.argv) > 4 else 20
    xvfb, display = start_xvfb()
    try:
        run_once(mapwatch, brindora, display)
        run_once(mapwatch, bare, display)
        results = {brindora: [], bare: []}
        for _ in range(runs):
            for program in (brindora, bare):
                results[program].append(run_once(mapwatch, program, display))
    finally:
        xvfb.terminate()
        xvfb.wait()
    summary = {}
    for name, program in (("brindora", brindora), ("bare window", bare)):
        times = [t for t, _ in results[program]]
        memory = [m for _, m in results[program]]
        summary[name] = (statistics.median(times), p90(times), statistics.median(memory),
                         max(memory))
        print(f"{name:12} start to shown: median {summary[name][0]:7.1f} ms, p90 "
              f"{summary[name][1]:7.1f} ms; peak RSS median {summary[name][2]:6.1f} MiB, "
              f"max {summary[name][3]:6.1f} MiB ({runs} runs)")
    ours, ref = summary["brindora"], summary["bare window"]
    print(f"start-up: median {ours[0] / ref[0]:.2f} x bare, p90 {ours[1] / ref[1]:.2f} x bare; "
          f"peak RSS: bare + {ours[2] - ref[2]:.1f} MiB (medians); load "
          f"{os.getloadavg()[0]:.2f}")


if __name__ == "__main__":
    main()
