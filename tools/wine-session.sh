#!/usr/bin/env bash
# What the Windows tests run in: an X display (Qt's Windows side makes windows even offscreen,
# its event loop's among them, and wine makes them on an X display), a wine prefix, and one
# wine server kept up for the whole run (each test program starts faster, and wine's first
# program after a server start sometimes loses its standard output). ctest starts it before
# the first Windows test and stops it after the last; a DISPLAY already set is used as it is.
# The display a test should use is left in STATE_DIR/display for tools/wine-run.sh.
# Usage: tools/wine-session.sh start|stop STATE_DIR   (WINEPREFIX names the prefix)
set -euo pipefail
action=${1:-}
state=${2:-}
if [ -z "$state" ] || { [ "$action" != start ] && [ "$action" != stop ]; }; then
    echo "usage: $0 start|stop STATE_DIR" >&2
    exit 2
fi
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver

stop() {
    "$wineserver" -k 2>/dev/null || true
    local pid
    pid=$(cat "$state/xvfb.pid" 2>/dev/null || true)
    # Only the Xvfb started here: after a reboot the number may be another process's.
    if [ -n "$pid" ] && [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = Xvfb ]; then
        kill "$pid" 2>/dev/null || true
    fi
    rm -f "$state/xvfb.pid" "$state/display" "$state/xvfb.ready"
}

# Whatever an interrupted run left goes first.
stop
[ "$action" = stop ] && exit 0

mkdir -p "$state"
if [ -z "${DISPLAY:-}" ]; then
    if ! command -v Xvfb >/dev/null; then
        echo "wine-session: no X display for wine (DISPLAY is empty) and no Xvfb to make one:" \
            "install xvfb (tools/install-deps.sh does) or set DISPLAY" >&2
        exit 1
    fi
    # Its own session and no pipe of ctest's: the display outlives this script, not the run.
    setsid Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$state/xvfb.ready" \
        </dev/null >/dev/null 2>&1 &
    echo $! >"$state/xvfb.pid"
    for _ in $(seq 100); do [ -s "$state/xvfb.ready" ] && break; sleep 0.1; done
    if [ ! -s "$state/xvfb.ready" ]; then
        echo "wine-session: Xvfb did not start" >&2
        stop
        exit 1
    fi
    DISPLAY=:$(cat "$state/xvfb.ready")
    export DISPLAY
    echo "wine-session: started Xvfb on $DISPLAY for the run"
elif command -v xdotool >/dev/null && ! xdotool getdisplaygeometry >/dev/null 2>&1; then
    echo "wine-session: DISPLAY=$DISPLAY does not answer: unset DISPLAY for a display of" \
        "the run's own, or name one that runs" >&2
    exit 1
fi
echo "$DISPLAY" >"$state/display"

if [ ! -f "${WINEPREFIX:-$HOME/.wine}/system.reg" ]; then
    echo "wine-session: making the wine prefix ${WINEPREFIX:-$HOME/.wine}"
    if ! timeout 600 "$wine" wineboot --init >"$state/wineboot.log" 2>&1 ||
        ! timeout 600 "$wineserver" -w; then
        echo "wine-session: wine can't start here (see $state/wineboot.log)" >&2
        stop
        exit 1
    fi
fi
"$wineserver" -p </dev/null >/dev/null 2>&1
