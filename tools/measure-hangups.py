#!/usr/bin/env python3
"""Counts how often the remote calls a server that hangs up at once, and how soon it comes back
after an ordinary loss.

Usage: tools/measure-hangups.py BRINDORA [SECONDS]
For each kind of server (one that ends every connection unheard, one that sends "500 full" and
hangs up, one that sends a title and hangs up) the remote runs offscreen in a throw-away profile
for SECONDS (default 10) and every connection is counted. Then a server that keeps each
connection for 3 s shows how long the remote takes to come back after the loss."""
import os
import socket
import subprocess
import sys
import tempfile
import time

KINDS = [("hangs up unheard", b""), ("500 full, then hangs up", b"500 full\n"),
         ("a title, then hangs up", b'303 "Full"\n')]


def start_remote(brindora, port, profile):
    os.makedirs(f"{profile}/Pellwyn", exist_ok=True)
    with open(f"{profile}/Pellwyn/QXBrindora.conf", "w") as store:
        store.write("[General]\nhostname=127.0.0.1\n")
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", XDG_CONFIG_HOME=profile,
               BRINDORA_DAS_PORT=str(port))
    # Kept off the user's session bus: no media player of ours turns up in their desktop.
    env.pop("DBUS_SESSION_BUS_ADDRESS", None)
    return subprocess.Popen([brindora], env=env, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")  # utime + stime


def count_hangups(brindora, greeting, seconds):
    listener = socket.create_server(("127.0.0.1", 0))
    listener.settimeout(0.2)
    with tempfile.TemporaryDirectory() as profile:
        remote = start_remote(brindora, listener.getsockname()[1], profile)
        # Counted from the first connection; a remote that never calls is given 30 s.
        count, deadline = 0, time.monotonic() + 30
        while time.monotonic() < deadline:
            try:
                client, _ = listener.accept()
            except socket.timeout:
                continue
            if count == 0:
                deadline = time.monotonic() + seconds
            count += 1
            if greeting:
                client.sendall(greeting)
            client.close()
        cpu = cpu_seconds(remote.pid)
        remote.terminate()
        remote.wait()
    listener.close()
    return count, cpu


def ordinary_loss(brindora):
    listener = socket.create_server(("127.0.0.1", 0))
    listener.settimeout(30)  # a remote that does not come back ends the run with an error
    with tempfile.TemporaryDirectory() as profile:
        remote = start_remote(brindora, listener.getsockname()[1], profile)
        delays = []
        try:
            client, _ = listener.accept()
            for _ in range(3):
                client.sendall(b'303 "Song"\n304 0 0 1\n')
                time.sleep(3)
                client.close()
                lost = time.monotonic()
                client, _ = listener.accept()
                delays.append(time.monotonic() - lost)
            client.close()
        finally:
            remote.terminate()
            remote.wait()
    listener.close()
    return delays


def main():
    brindora = sys.argv[1]
    seconds = int(sys.argv[2]) if len(sys.argv) > 2 else 10
    for name, greeting in KINDS:
        count, cpu = count_hangups(brindora, greeting, seconds)
        print(f"hang-ups ({name}): {count} connections in {seconds} s; the remote used "
              f"{cpu:.2f} s of CPU in all")
    delays = ", ".join(f"{1000 * delay:.0f}" for delay in ordinary_loss(brindora))
    print(f"hang-ups (after 3 s connected): back after {delays} ms")


if __name__ == "__main__":
    main()
