#!/bin/sh
# A Wine prefix in which the program takes the NT road (CreateFile on
# \\.\X:, SCSI pass-through) to the virtual drives of a vdrives.txt list
# (vdrive/sgio/README.md), and the drive process that serves them.
#
#   nt-prefix.sh make  PREFIX VERSION LIST    VERSION: winxp, nt40, win2k, ...
#   nt-prefix.sh start PREFIX DAEMON LIST     the Wine session, then mf-vdrived
#   nt-prefix.sh stop  PREFIX DAEMON LIST
#
# "make" leaves the prefix with exactly these letters: c: (the prefix's own
# drive_c), one CD-ROM letter per drive of LIST that has both `letter=` and
# `path=` (dosdevices/<x>:: links to the stand-in file, type cdrom), and a:
# for the Unix root, which lets Windows programs reach the build tree while
# staying outside the program's scan (c: to z:). The default z: link to / is
# removed: the scan would open it, and as root the Wine server would then
# open the machine's real disk. Wine keeps at most five CD-ROM devices per
# process, so a list should give at most five letters.
#
# The program must then run with
#   LD_PRELOAD='<native build>/vdrive/sgio/preload/$LIB/libmfsgio.so'
#   MARROWFIN_VDRIVES=LIST (a Unix path)
# in its Unix environment; neither path may contain a blank or a colon.
set -e
action="$1" prefix="$2"
here="$(cd "$(dirname "$0")" && pwd)"
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

die() { echo "nt-prefix: $*" >&2; exit 2; }

# "letter path" of each served drive, paths made absolute from the list's folder.
letters() {
    listdir="$(cd "$(dirname "$1")" && pwd)"
    awk -v dir="$listdir" '
        $1 == "drive" {
            letter = ""; path = ""
            if (match($0, /letter=[a-zA-Z]/)) letter = tolower(substr($0, RSTART + 7, 1))
            if (match($0, /path="[^"]*"/)) path = substr($0, RSTART + 6, RLENGTH - 7)
            else if (match($0, /path=[^ \t]+/)) path = substr($0, RSTART + 5, RLENGTH - 5)
            if (letter != "" && path != "") print letter, (path ~ /^\// ? path : dir "/" path)
        }' "$1"
}

case "$action" in
make)
    version="$3" list="$4"
    [ -f "$list" ] || die "no drive list $list"
    "$here/wine-prefix.sh" "$prefix"
    wineserver -k 2>/dev/null || true
    drives="$(letters "$list")"
    [ -n "$drives" ] || die "$list gives no drive both a letter= and a path="
    [ "$(printf '%s\n' "$drives" | wc -l)" -le 5 ] || die "Wine keeps at most five CD-ROM devices per process"
    # The mount manager reads the drive types from the 64-bit view; the
    # 32-bit reg would write them under Wow6432Node, where nothing looks.
    wine reg delete 'HKLM\Software\Wine\Drives' /f /reg:64 >/dev/null 2>&1 || true
    for letter in $(printf '%s\n' "$drives" | cut -d' ' -f1); do
        wine reg add 'HKLM\Software\Wine\Drives' /v "$letter:" /d cdrom /f /reg:64 >/dev/null 2>&1 ||
            die "cannot set the drive type of $letter:"
    done
    wine reg add 'HKCU\Software\Wine' /v Version /d "$version" /f >/dev/null 2>&1 ||
        die "cannot set the Windows version $version"
    # Every copy of the program is named MARROWFIN.exe; a per-program
    # version left by another suite would win over the prefix's.
    wine reg delete 'HKCU\Software\Wine\AppDefaults\MARROWFIN.exe' /f >/dev/null 2>&1 || true
    wineserver -w
    # The letters last, once no Wine program of the prefix runs that could
    # bring the default ones back.
    dos="$prefix/dosdevices"
    find "$dos" -mindepth 1 -maxdepth 1 ! -name 'c:' -exec rm -f {} +
    ln -s / "$dos/a:"
    printf '%s\n' "$drives" | {
        while read -r letter path; do
            [ "$letter" != c ] && [ "$letter" != a ] || die "letter $letter: is taken by the prefix"
            [ -e "$path" ] || die "the stand-in file $path of $letter: is missing (create it; an empty file will do)"
            ln -sfn "$path" "$dos/$letter::"
        done
    }
    ;;
start)
    daemon="$3" list="$4"
    "$here/wine-session.sh" start "$prefix"
    "$daemon" stop "$list" >/dev/null 2>&1 || true  # one left by a run that was killed
    "$daemon" start "$list" >/dev/null || die "mf-vdrived did not start (see above)"
    ;;
stop)
    daemon="$3" list="$4"
    "$daemon" stop "$list" >/dev/null 2>&1 || true
    "$here/wine-session.sh" stop "$prefix"
    ;;
*)
    echo "usage: nt-prefix.sh make PREFIX VERSION LIST | start|stop PREFIX DAEMON LIST" >&2
    exit 2
    ;;
esac
