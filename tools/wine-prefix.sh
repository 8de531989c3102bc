#!/bin/sh
# Creates (once) the Wine prefix of a build tree, so that parallel test runs
# do not race to create it. Usage: wine-prefix.sh PREFIX_DIR
set -e
prefix="$1"
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$prefix/system.reg" ]; then
    mkdir -p "$prefix"
    wineboot -i >/dev/null 2>&1 || true
    # Wine draws the caption bar itself, so screenshots show it without a window manager.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
    wineserver -w || true
fi
