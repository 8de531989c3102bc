#!/bin/sh
# Runs upgrade_bench.exe on both roads, one after the other (make bench):
# the ASPI road in the build tree's prefix with the virtual ASPI layer, then
# the NT road in a prefix of its own whose one letter, e:, is a drive served
# by mf-vdrived through the preloaded libmfsgio.so.
# Usage: upgrade-bench.sh BUILD_WIN32_DIR BUILD_NATIVE_DIR
set -e
win32="$1" native="$2"
here="$(cd "$(dirname "$0")" && pwd)"
tools="$here/../.."
exe="$win32/tools/bench/wine/upgrade_bench.exe"
daemon="$native/vdrive/sgio/mf-vdrived"
preload="$native/vdrive/sgio/preload"
dir="$native/upgrade-bench-nt"
prefix="$win32/upgrade-bench-nt-prefix"

"$tools/wine-prefix.sh" "$win32/wineprefix"
WINEDLLOVERRIDES="mscoree,mshtml=;wnaspi32=n" "$win32/wine-run.sh" "$exe"

case "$dir$preload" in
*[\ :]*) echo "upgrade-bench: LD_PRELOAD cannot carry a path with a blank or a colon: $dir $preload" >&2; exit 1 ;;
esac
[ -x "$daemon" ] || { echo "upgrade-bench: no $daemon; build the target mf-vdrived" >&2; exit 1; }
rm -rf "$dir" && mkdir -p "$dir" && touch "$dir/sr0"
# The same drive as the ASPI road's: no NOT READY window, no record.
cat > "$dir/vdrives.txt" <<'LIST'
adapter 0 targets=1
drive 0 0 "MARROW" "CDR-8400 FLASHER" "A054" notready=0 path="sr0" letter=e
LIST
"$tools/nt-prefix.sh" make "$prefix" winxp "$dir/vdrives.txt"
"$tools/nt-prefix.sh" start "$prefix" "$daemon" "$dir/vdrives.txt"
rc=0
WINEPREFIX="$prefix" MARROWFIN_VDRIVES="$dir/vdrives.txt" LD_PRELOAD="$preload/\$LIB/libmfsgio.so" \
    "$win32/wine-run.sh" "$exe" nt || rc=$?
"$tools/nt-prefix.sh" stop "$prefix" "$daemon" "$dir/vdrives.txt"
exit $rc
