#!/usr/bin/env bash
# Builds the program (release) and starts it against the simulated controller.
# Without a display it starts a virtual X server and says how to look at it.
set -euo pipefail
cd "$(dirname "$0")"
. cmake/packages.sh
vorn_install_packages

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DVORN_BUILD_TESTS=OFF -DVORN_BUILD_BENCH=OFF
cmake --build build -j"$(nproc)" --target vorn_rivuz_gui

# The simulator's demonstration settings, kept in the build folder so that
# nothing under /opt is touched; set VORN_CONFIG_PATH to use another file.
if [ -z "${VORN_CONFIG_PATH:-}" ]; then
    [ -f build/demo-config.ini ] || cp simulator/demo-config.ini build/demo-config.ini
    export VORN_CONFIG_PATH="$PWD/build/demo-config.ini"
fi

if [ -z "${DISPLAY:-}" ]; then
    # A free server number of our own, so that the line below can name it.
    n=99
    while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
    auth="$PWD/build/xvfb.auth"
    : > "$auth"
    xauth -q -f "$auth" add ":$n" MIT-MAGIC-COOKIE-1 "$(od -An -N16 -tx1 /dev/urandom | tr -d ' \n')"
    # The X server runs in a session of its own: Ctrl+C in this terminal then
    # reaches only the program, which shuts down cleanly before the server goes.
    setsid Xvfb ":$n" -screen 0 1920x1080x24 -auth "$auth" -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    trap 'kill "$xvfb_pid" 2>/dev/null' EXIT
    for _ in $(seq 100); do
        [ -e "/tmp/.X11-unix/X$n" ] && break
        kill -0 "$xvfb_pid" 2>/dev/null || { echo "The virtual X server did not start." >&2; exit 1; }
        sleep 0.1
    done
    echo "No display: the program runs on the virtual screen :$n (1920x1080); to see it, take a screenshot: XAUTHORITY=$auth DISPLAY=:$n import -window root screenshot.png"
    status=0
    DISPLAY=":$n" XAUTHORITY="$auth" build/vorn_rivuz_gui "$@" || status=$?
    exit "$status"
fi
exec build/vorn_rivuz_gui "$@"
