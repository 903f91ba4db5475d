#!/usr/bin/env bash
# Installs what is missing, builds, starts the demo audio server on 127.0.0.1:1966 and
# starts the remote against it in a throw-away profile: your own settings are never touched.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" --target brindora das-sim

profile=$(mktemp -d -t brindora-demo.XXXXXX)
cleanup() {
    [ -n "${server_pid:-}" ] && kill "$server_pid" 2>/dev/null || true
    rm -rf "$profile"
}
trap cleanup EXIT

build/release/tools/das-sim --host 127.0.0.1 --port 1966 &
server_pid=$!

# The demo profile already names the demo server, so the remote connects at once.
export XDG_CONFIG_HOME="$profile/config"
mkdir -p -m 700 "$XDG_CONFIG_HOME/Pellwyn"
printf '[General]\nhostname=127.0.0.1\n' >"$XDG_CONFIG_HOME/Pellwyn/QXBrindora.conf"
chmod 600 "$XDG_CONFIG_HOME/Pellwyn/QXBrindora.conf"
build/release/app/brindora "$@"
