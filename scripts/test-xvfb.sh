#!/usr/bin/env bash
# A throwaway X server (Xvfb) for the tests that start socios on a real display, through Qt's xcb platform.
#
#   scripts/test-xvfb.sh start DIR    starts Xvfb on a free display with two screens' worth of room (1280 x 1024)
#                                     and writes its name (":N") into DIR/display, and its process id into DIR/pid
#   scripts/test-xvfb.sh stop DIR     stops it
#
# Starting fails, loudly, when Xvfb is missing or does not come up: the tests that need it then fail too.
set -euo pipefail

usage() {
    echo "usage: $0 start DIR | stop DIR" >&2
    exit 2
}
fail() {
    echo "test-xvfb.sh: $*" >&2
    exit 1
}

[ $# -eq 2 ] || usage
command=$1
dir=$2
mkdir -p "$dir"

case $command in
start)
    command -v Xvfb >/dev/null || fail "Xvfb is not installed: scripts/setup.sh installs it (package xvfb)"
    rm -f "$dir/display" "$dir/pid"
    # -displayfd: the server picks a free display number and writes it to the descriptor once it accepts clients.
    exec {ready}<> <(:)
    Xvfb -displayfd "$ready" -screen 0 1280x1024x24 -nolisten tcp -noreset >"$dir/xvfb.log" 2>&1 &
    pid=$!
    number=""
    read -r -t 20 -u "$ready" number || true
    exec {ready}>&-
    if [ -z "$number" ] || ! kill -0 "$pid" 2>/dev/null; then
        kill "$pid" 2>/dev/null || true
        fail "Xvfb did not start: $(cat "$dir/xvfb.log")"
    fi
    echo ":$number" >"$dir/display"
    echo "$pid" >"$dir/pid"
    ;;
stop)
    if [ -f "$dir/pid" ]; then
        kill "$(cat "$dir/pid")" 2>/dev/null || true
        rm -f "$dir/pid" "$dir/display"
    fi
    ;;
*)
    usage
    ;;
esac
