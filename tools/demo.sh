#!/bin/sh
# Runs MARROWFIN.exe under Wine in a fresh demo working directory.
# With a display: opens the window for you to use. Without one: runs it under
# Xvfb, saves screenshots to demo/out/ and ends the program.
# Usage: demo.sh BUILD_WIN32_DIR
set -e
build="$1"
root="$(cd "$(dirname "$0")/.." && pwd)"
demo="$root/demo"
exe="$build/src/app/MARROWFIN.exe"
[ -f "$exe" ] || { echo "demo: $exe is missing; run make win32" >&2; exit 1; }

# wnaspi32=n: the program loads the virtual-drive wnaspi32.dll from its
# folder instead of Wine's own.
export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;wnaspi32=n"
"$root/tools/wine-prefix.sh" "$WINEPREFIX"

rm -rf "$demo"
mkdir -p "$demo/out"
cp "$exe" "$demo/"
if [ -x "$root/tools/demo-files.sh" ]; then
    "$root/tools/demo-files.sh" "$build" "$demo"
fi
cd "$demo"

if [ -n "$DISPLAY" ]; then
    echo "demo: starting MARROWFIN.exe in $demo"
    exec wine MARROWFIN.exe
fi

# No display: a private virtual screen.
display=:$(( 90 + $$ % 100 ))
Xvfb "$display" -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; wineserver -k 2>/dev/null || true' EXIT
export DISPLAY="$display"
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

if [ -x "$root/tools/demo-script.sh" ]; then
    "$root/tools/demo-script.sh" "$build" "$demo"
else
    wine MARROWFIN.exe &
    for _ in $(seq 100); do
        xwininfo -root -tree 2>/dev/null | grep -q '"MARROWFIN"' && break
        sleep 0.2
    done
    sleep 1
    import -window root "$demo/out/main.png"
    wineserver -k || true
fi
echo "demo: screenshots in $demo/out"
ls "$demo/out"
