#!/usr/bin/env python3
"""Measures the connected, idle remote: CPU time and wake-ups per second over a minute.

Usage: tools/measure-idle.py BRINDORA DAS_SIM [SECONDS]
Starts the demo server, stops its playback (so nothing is sent), starts the remote against it
in a throw-away profile, waits for it to settle and then counts. The remote runs offscreen
unless QT_QPA_PLATFORM names another platform (xcb under Xvfb, for the real window system)."""
import os
import socket
import subprocess
import sys
import tempfile
import time


def ticks_and_switches(pid):
    """CPU ticks, all switches, and each thread's voluntary ones (its wake-ups: the others
    only say how busy the machine is) by thread id and name."""
    with open(f"/proc/{pid}/stat") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    cpu_ticks = int(fields[11]) + int(fields[12])  # utime + stime
    switches = 0
    voluntary = {}
    for task in os.listdir(f"/proc/{pid}/task"):
        with open(f"/proc/{pid}/task/{task}/status") as status:
            for line in status:
                if line.startswith("Name:"):
                    name = line.split(None, 1)[1].strip()
                if line.startswith(("voluntary_ctxt_switches", "nonvoluntary_ctxt_switches")):
                    switches += int(line.split()[1])
                if line.startswith("voluntary_ctxt_switches"):
                    voluntary[(task, name)] = int(line.split()[1])
    return cpu_ticks, switches, voluntary


def main():
    brindora, das_sim = sys.argv[1], sys.argv[2]
    seconds = int(sys.argv[3]) if len(sys.argv) > 3 else 60
    server = subprocess.Popen([das_sim, "--port", "0"], stdout=subprocess.PIPE, text=True)
    port = int(server.stdout.readline().rsplit(":", 1)[1])
    control = socket.create_connection(("127.0.0.1", port))
    control.sendall(b"stop\n")
    with tempfile.TemporaryDirectory() as profile:
        os.makedirs(f"{profile}/Pellwyn")
        with open(f"{profile}/Pellwyn/QXBrindora.conf", "w") as store:
            store.write("[General]\nhostname=127.0.0.1\n")
        platform = os.environ.get("QT_QPA_PLATFORM") or "offscreen"
        env = dict(os.environ, QT_QPA_PLATFORM=platform, XDG_CONFIG_HOME=profile,
                   BRINDORA_DAS_PORT=str(port))
        remote = subprocess.Popen([brindora], env=env, stderr=subprocess.DEVNULL)
        time.sleep(5)
        ticks0, switches0, voluntary0 = ticks_and_switches(remote.pid)
        time.sleep(seconds)
        ticks1, switches1, voluntary1 = ticks_and_switches(remote.pid)
        ended = remote.poll()
        remote.terminate()
        remote.wait()
    control.close()
    server.terminate()
    server.wait()
    if ended is not None:
        sys.exit(f"measure-idle.py: the remote ended during the count (status {ended})")
    hz = os.sysconf("SC_CLK_TCK")
    cpu = (ticks1 - ticks0) / hz
    print(f"idle over {seconds} s ({platform}): CPU {cpu:.2f} s ({100 * cpu / seconds:.3f} %), "
          f"wake-ups {(switches1 - switches0) / seconds:.2f}/s")
    threads = [(name, (count - voluntary0.get((task, name), 0)) / seconds)
               for (task, name), count in sorted(voluntary1.items())]
    print(f"voluntary {sum(rate for _, rate in threads):.2f}/s: " +
          ", ".join(f"{name} {rate:.2f}" for name, rate in threads))


if __name__ == "__main__":
    main()
