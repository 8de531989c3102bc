#!/bin/sh
# Runs MARROWFIN.exe under Wine in a fresh demo working directory.
# With a display: opens the window for you to use. Without one: runs it under
# Xvfb, saves screenshots to demo/out/ and ends the program.
#   ROAD aspi: Wine shows the program a Windows 98 and it reaches the drives
#              through the virtual-drive ASPI layer (wnaspi32.dll).
#   ROAD nt:   Wine shows it a Windows XP and it opens \\.\E: and \\.\F:
#              with SCSI pass-through, which Wine turns into SG_IO on the
#              stand-in files, answered by mf-vdrived through the preloaded
#              libmfsgio.so (vdrive/sgio/README.md). Needs the native tree.
# Usage: demo.sh BUILD_WIN32_DIR [ROAD [BUILD_NATIVE_DIR]]
set -e
build="$1"
road="${2:-aspi}"
native="$3"
root="$(cd "$(dirname "$0")/.." && pwd)"
demo="$root/demo"
exe="$build/src/app/MARROWFIN.exe"
[ -f "$exe" ] || { echo "demo: $exe is missing; run make win32" >&2; exit 1; }

case "$road" in
aspi)
    # wnaspi32=n: the program loads the virtual-drive wnaspi32.dll from its
    # folder instead of Wine's own.
    export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;wnaspi32=n"
    "$root/tools/wine-prefix.sh" "$WINEPREFIX"
    ;;
nt)
    # A prefix of its own: the NT road's prefix has only the demo's letters,
    # which the test suites' prefix must not lose.
    export WINEPREFIX="$build/demo-nt-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    daemon="$native/vdrive/sgio/mf-vdrived"
    preload="$native/vdrive/sgio/preload"
    [ -x "$daemon" ] && [ -d "$preload" ] ||
        { echo "demo: $daemon or $preload is missing; run make demo ROAD=nt" >&2; exit 1; }
    case "$demo$preload" in
    *[\ :]*) echo "demo: LD_PRELOAD cannot carry a path with a blank or a colon: $demo $preload" >&2; exit 1 ;;
    esac
    ;;
*)
    echo "demo: unknown road \"$road\" (aspi or nt)" >&2
    exit 2
    ;;
esac

# A drive process of an earlier demo still serves the list about to go.
[ "$road" = nt ] && [ -f "$demo/vdrives.txt" ] && "$daemon" stop "$demo/vdrives.txt" >/dev/null 2>&1 || true
rm -rf "$demo"
mkdir -p "$demo/out"
cp "$exe" "$demo/"
"$root/tools/demo-files.sh" "$build" "$demo" "$road"
cd "$demo"

xvfb=""
cleanup() {
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
    wineserver -k 2>/dev/null || true
    # Without the preload library, which the sanitized drive process of the
    # native tree refuses to start under.
    [ "$road" = nt ] && env -u LD_PRELOAD "$daemon" stop "$demo/vdrives.txt" >/dev/null 2>&1 || true
}
trap cleanup EXIT

if [ "$road" = nt ]; then
    "$root/tools/nt-prefix.sh" make "$WINEPREFIX" winxp "$demo/vdrives.txt"
    "$daemon" start "$demo/vdrives.txt" >/dev/null
    # Wine's own processes inherit these; the library answers only on the
    # stand-in files of this list.
    export MARROWFIN_VDRIVES="$demo/vdrives.txt" LD_PRELOAD="$preload/\$LIB/libmfsgio.so"
fi

if [ -n "$DISPLAY" ]; then
    echo "demo: starting MARROWFIN.exe in $demo"
    wine MARROWFIN.exe
    exit 0
fi

# No display: a private virtual screen.
display=:$(( 90 + $$ % 100 ))
Xvfb "$display" -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY="$display"
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

"$root/tools/demo-script.sh" "$build" "$demo"
echo "demo: screenshots in $demo/out"
ls "$demo/out"
