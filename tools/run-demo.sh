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

export XDG_CONFIG_HOME="$profile/config"
mkdir -p "$XDG_CONFIG_HOME"
echo "Demo server on 127.0.0.1:1966; press Setup in the remote and enter 127.0.0.1."
build/release/app/brindora "$@"
