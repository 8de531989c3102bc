#!/bin/sh
# Starts (start) or ends (stop) the Wine session a build tree's tests share:
# the prefix, a Wine server kept up until "stop", the Wine services, and,
# when no display is set, one virtual X server for the whole session, all
# started apart from any test's output. A Wine server or service started by a
# test keeps that test's output open until it ends, and ctest then counts the
# test as running until the last Wine program of the whole run is gone.
#
# The session's desktop (explorer.exe) lives on the X server it was started
# on and dies with it. With a virtual X server per program, the desktop died
# as soon as the first program ended, and a program started in that moment
# could be handed the dying desktop and then fail to create any window at
# all. So the session keeps one X server up until "stop"; wine-run.sh runs
# every program of the session on it (the display is in $WINEPREFIX/session-display).
# Usage: wine-session.sh start|stop PREFIX
set -e
action="$1"
export WINEPREFIX="$2" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
here="$(cd "$(dirname "$0")" && pwd)"
session="$WINEPREFIX/session-display"

# Ends the session's X server, if one is recorded.
stop_display() {
    if [ -f "$session.pid" ]; then
        kill "$(cat "$session.pid")" 2>/dev/null || true
    fi
    rm -f "$session" "$session.pid"
}

case "$action" in
start)
    "$here/wine-prefix.sh" "$WINEPREFIX"
    stop_display
    if [ -z "$DISPLAY" ]; then
        # Xvfb picks a free display itself and writes its number once it
        # takes connections, so parallel sessions cannot race for one.
        rm -f "$session.new"
        setsid Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp \
            3>"$session.new" </dev/null >/dev/null 2>&1 &
        echo $! >"$session.pid"
        for _ in $(seq 100); do
            [ -s "$session.new" ] && break
            sleep 0.1
        done
        [ -s "$session.new" ] || { echo "wine-session: Xvfb did not start" >&2; stop_display; exit 1; }
        echo ":$(tr -d '\n' <"$session.new")" >"$session"
        rm -f "$session.new"
        DISPLAY="$(cat "$session")"
        export DISPLAY
    fi
    wineserver -p </dev/null >/dev/null 2>&1 || true
    # The first program of a session starts the services and the desktop.
    wine cmd /c exit </dev/null >/dev/null 2>&1
    ;;
stop)
    wineserver -k 2>/dev/null || true
    stop_display
    ;;
*)
    echo "usage: wine-session.sh start|stop PREFIX" >&2
    exit 2
    ;;
esac
