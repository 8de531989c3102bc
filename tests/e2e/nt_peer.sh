#!/bin/sh
# The peer check, run by nt_road.sh after the NT road's flash: the image the
# program flashed (image.bin, left by NtFlash) goes into a fresh drive with
# sg_write_buffer, as WRITE BUFFER mode 6 chunks of 4096 bytes at 32 + the
# address, the 32-byte header with the image's sum in bytes 30-31, and
# mode 7. The two saved images must be equal, and the two records' commands
# equal up to the differences asserted below. A failure prints a line ctest
# counts as failed ("[  FAILED  ]").
# Usage: nt_peer.sh FLASH_DIR MF_VDRIVED PRELOAD_ROOT
set -u
flash=$1 daemon=$2 preload="$3/\$LIB/libmfsgio.so" peer="$1/peer"
fails=0
fail() { echo "[  FAILED  ] peer check: $*"; fails=$((fails + 1)); }
command -v sg_write_buffer >/dev/null || { fail "sg3-utils is not installed"; exit 1; }
[ -s "$flash/image.bin" ] && [ -s "$flash/saved-0-0.bin" ] || { fail "no image.bin or saved-0-0.bin in $flash"; exit 1; }
rm -rf "$peer" && mkdir -p "$peer" && touch "$peer/sr0" || exit 1
cat > "$peer/vdrives.txt" <<'LIST'
adapter 0
drive 0 0 "MARROW  " "CDR-8400 FLASHER" "A054" after="A055" path="sr0" letter=e
record record.txt
LIST
cd "$peer" || exit 1
export MARROWFIN_VDRIVES="$peer/vdrives.txt"
"$daemon" start vdrives.txt >/dev/null || { fail "mf-vdrived did not start"; exit 1; }
sg() { LD_PRELOAD="$preload" sg_write_buffer "$@" sr0 || fail "sg_write_buffer $* exited $?"; }
size=$(wc -c < "$flash/image.bin") at=0
while [ $at -lt "$size" ]; do
    sg -m 6 -o $((32 + at)) -s $at -l 4096 -I "$flash/image.bin"
    at=$((at + 4096))
done
sum=$(od -An -v -tu1 "$flash/image.bin" | awk '{for (i = 1; i <= NF; i++) s += $i} END {print s % 65536}')
{ head -c 30 /dev/zero; printf "\\$(printf %o $((sum / 256)))\\$(printf %o $((sum % 256)))"; } > header.bin
sg -m 6 -o 0 -l 32 -I header.bin
sg -m 7
"$daemon" stop vdrives.txt

cmp -s "$flash/saved-0-0.bin" saved-0-0.bin || fail "the two drives saved different images"
# One line per command of drive 0/0 up to its first save: "cdb dir len sum result".
commands() { awk '$1 == "saved" {exit} $1 == "cmd" && $2 == "ha=0" && $3 == "target=0" {
    for (i = 4; i <= NF; i++) { split($i, kv, "="); f[kv[1]] = substr($i, length(kv[1]) + 2) }
    print f["cdb"], f["dir"], f["len"], f["sum"], f["result"] }' "$1"; }
commands "$flash/record.txt" > program.txt
commands record.txt > peer.txt
# Known differences, each asserted:
# - the program starts with its INQUIRY and the 95h vendor block;
# - its WRITE BUFFER CDBs are 12 bytes, sg_write_buffer's 10: the same first
#   ten bytes, then two zero bytes;
# - its save asks 4096 bytes in, sg_write_buffer's mode 7 moves no data.
expected_start="120000007F00 in 2048 0000 GOOD
952200000000000000000000 in 32 0000 GOOD"
[ "$(head -n 2 program.txt)" = "$expected_start" ] || fail "the program did not start with the INQUIRY and the 95h block: $(head -n 2 program.txt)"
[ "$(tail -n 1 program.txt)" = "3B0700000000000000000000 in 4096 0000 GOOD" ] || fail "the program's save: $(tail -n 1 program.txt)"
[ "$(tail -n 1 peer.txt)" = "3B070000000000000000 none 0 0000 GOOD" ] || fail "sg_write_buffer's save: $(tail -n 1 peer.txt)"
tail -n +3 program.txt | sed '$d' | awk '{ if (length($1) != 24 || substr($1, 21) != "0000") print "BAD " $0; else { $1 = substr($1, 1, 20); print } }' > program-10.txt
sed '$d' peer.txt > peer-10.txt
[ "$(wc -l < peer-10.txt)" -eq $((size / 4096 + 1)) ] || fail "sg_write_buffer sent $(wc -l < peer-10.txt) writes, not $((size / 4096 + 1))"
diff program-10.txt peer-10.txt > writes.diff || { fail "the writes differ:"; sed 's/^/    /' writes.diff; }
[ $fails -eq 0 ] && echo "peer check: both drives saved the same $size bytes; $(wc -l < peer-10.txt) writes matched"
[ $fails -eq 0 ]
