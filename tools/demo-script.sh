#!/bin/sh
# The scripted demo under the virtual screen that tools/demo.sh starts: runs
# MARROWFIN.exe against the virtual drives of demo-files.sh, presses
# "Upgrade" through the UI driver and takes screenshots on the way:
#   main.png      after start-up: the drive found, its revision, the list logged
#   main-list.png the drive list opened: both drives
#   confirm.png   the confirmation asked for before the upgrade, answered OK
#   transfer.png  the transfer has begun ("Please wait a minute.....")
#   wait.png      the programming wait (progress between 20 and 68)
#   end.png       "Please Restart Your Computer."
# and copies sum.txt and the drives' record to DEMO/out.
# Usage: demo-script.sh BUILD_WIN32_DIR DEMO_DIR
set -e
build="$1"
demo="$2"
driver="$build/tools/uidriver/uidriver.exe"
[ -f "$driver" ] || { echo "demo-script: $driver is missing; build the target uidriver_cli" >&2; exit 1; }
cd "$demo"
drive() { wine "$driver" "$@"; }
shot() { import -window root "$demo/out/$1"; echo "demo: out/$1"; }

# One Wine server for the program and the driver, so that they do not race
# to start it: wait for any server still lingering (demo-files.sh used one),
# then keep a new one up until demo.sh ends it. It must not hold this
# script's output open.
wineserver -w
wineserver -p >/dev/null 2>&1 </dev/null
wine MARROWFIN.exe &
program=$!
trap 'kill $program 2>/dev/null || true' EXIT

drive wait-window 30000
drive wait-log 1012 "This firmware can be used on below drives  :" 10000
sleep 1   # let the dialog finish painting before the picture
shot main.png
drive dropdown 1000 1
sleep 1
shot main-list.png
drive dropdown 1000 0

drive click 1015
drive wait-dialog "Firmware upgrade program" 10000
sleep 1
shot confirm.png
drive click-in "Firmware upgrade program" 1
drive wait-log 1012 "Please wait a minute....." 30000
shot transfer.png
drive wait-progress 1011 32 68 60000
shot wait.png
echo "demo: the drive is programming; the program waits 91 seconds"
drive wait-log 1012 "Please Restart Your Computer." 150000
sleep 1
shot end.png

cp sum.txt vdrive-record.txt "$demo/out/"
drive close 10000
wait $program || true
trap - EXIT
