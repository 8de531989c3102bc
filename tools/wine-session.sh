#!/bin/sh
# Starts (start) or ends (stop) the Wine session a build tree's tests share:
# the prefix, a Wine server kept up until "stop", and the Wine services,
# all started apart from any test's output. A Wine server or service started
# by a test keeps that test's output open until it ends, and ctest then counts
# the test as running until the last Wine program of the whole run is gone.
# Usage: wine-session.sh start|stop PREFIX
set -e
action="$1"
export WINEPREFIX="$2" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
here="$(cd "$(dirname "$0")" && pwd)"
case "$action" in
start)
    "$here/wine-prefix.sh" "$WINEPREFIX"
    wineserver -p </dev/null >/dev/null 2>&1 || true
    # The first program of a session starts the services; give it a display
    # so that the session's desktop gets a real graphics driver.
    if [ -z "$DISPLAY" ]; then
        xvfb-run -a -s "-screen 0 1024x768x24" wine cmd /c exit </dev/null >/dev/null 2>&1
    else
        wine cmd /c exit </dev/null >/dev/null 2>&1
    fi
    ;;
stop)
    wineserver -k 2>/dev/null || true
    ;;
*)
    echo "usage: wine-session.sh start|stop PREFIX" >&2
    exit 2
    ;;
esac
