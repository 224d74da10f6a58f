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
    echo "No display: the program runs on the virtual screen :$n (1920x1080); to see it, take a screenshot: XAUTHORITY=$auth DISPLAY=:$n import -window root screenshot.png"
    exec xvfb-run -n "$n" -f "$auth" -s "-screen 0 1920x1080x24" build/vorn_rivuz_gui "$@"
fi
exec build/vorn_rivuz_gui "$@"
