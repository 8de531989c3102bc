#!/bin/sh
# The ctest entries of the NT road (NtRoadTest.cpp): a prefix shown Windows
# XP with virtual drives (tools/nt-prefix.sh), served by mf-vdrived, and the
# test program run with libmfsgio.so preloaded, which MARROWFIN.exe inherits
# with the rest of the Unix environment. Each KIND has its own prefix and
# drive folder, so the entries can run side by side:
#   two:   e: to h: (NtRoadTest.cpp names their faults); FILTER is run
#          shown XP, then Nt4Road.* shown NT 4 in the same prefix, with the
#          drive process started afresh between the two;
#   flash: e: alone, no fault, answering A055 once flashed; then the peer
#          check (nt_peer.sh) against what the program left.
# Usage: nt_road.sh SOURCE_DIR BUILD_DIR MF_VDRIVED PRELOAD_ROOT WINE_RUN TEST_EXE FILTER KIND
set -u
src=$1 build=$2 daemon=$3 preload=$4 winerun=$5 exe=$6 filter=$7 kind=$8
prefix="$build/e2e-nt-prefix-$kind" dir="$build/tests/e2e/nt-$kind"
case "$dir$preload" in *[\ :]*) echo "nt_road: LD_PRELOAD cannot carry a path with a blank or a colon: $dir $preload"; exit 1;; esac
[ -x "$daemon" ] || { echo "nt_road: no $daemon; build the native tree first (make native)"; exit 1; }
rm -rf "$dir" && mkdir -p "$dir" && touch "$dir/sr0" "$dir/sr1" "$dir/sr2" "$dir/sr3" || exit 1
case $kind in
two) cat > "$dir/vdrives.txt" <<'LIST'
adapter 0 targets=2
adapter 1
drive 0 0 "MARROW  " "CDR-8400 FLASHER" "A054" path="sr0" letter=e
drive 0 1 "ACME    " "DVD-ROM 16X" "1.00" path="sr1" letter=h
drive 1 2 "MARROW  " "CDR-8400 FLASHER" "A054" path="sr2" letter=f
drive 1 3 "MARROW  " "CDR-8400 FLASHER" "A054" path="sr3" letter=g
fault 0 0 chunk offset=32 times=always sense=05/24/00
fault 1 2 save sense=04/44/00
fault 1 3 vanish offset=8224
record record.txt
LIST
;;
flash) cat > "$dir/vdrives.txt" <<'LIST'
adapter 0
drive 0 0 "MARROW  " "CDR-8400 FLASHER" "A054" after="A055" path="sr0" letter=e
record record.txt
LIST
;;
*) echo "nt_road: unknown kind $kind"; exit 1;;
esac
"$src/tools/nt-prefix.sh" make "$prefix" winxp "$dir/vdrives.txt" || exit 1
"$src/tools/nt-prefix.sh" start "$prefix" "$daemon" "$dir/vdrives.txt" || exit 1
run() { # run VERSION FILTER
    WINEPREFIX="$prefix" WINEDLLOVERRIDES="mscoree,mshtml=" E2E_UNIX_DRIVE=A: E2E_WINDOWS_VERSION=$1 \
        MARROWFIN_VDRIVES="$dir/vdrives.txt" LD_PRELOAD="$preload/\$LIB/libmfsgio.so" \
        "$winerun" "$exe" --gtest_filter="$2"
}
run winxp "$filter"
rc=$?
if [ "$kind" = two ]; then
    "$daemon" stop "$dir/vdrives.txt" && "$daemon" start "$dir/vdrives.txt" >/dev/null || rc=1
    run nt40 'Nt4Road.*' || rc=1
fi
"$src/tools/nt-prefix.sh" stop "$prefix" "$daemon" "$dir/vdrives.txt"
[ $rc -eq 0 ] && [ "$kind" = flash ] && { sh "$src/tests/e2e/nt_peer.sh" "$dir" "$daemon" "$preload" || rc=1; }
exit $rc
