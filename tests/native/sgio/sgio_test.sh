#!/bin/sh
# The virtual drives served to Linux processes, met by sg3_utils' own tools
# through libmfsgio.so: identification, a whole flash by WRITE BUFFER mode 6
# chunks, header and mode 7, the drive's record and saved image, the new
# revision in the drive process's next run, real sense bytes on CHECK
# CONDITION, a drive that vanishes part way, stand-ins shown as block devices
# with their drive's address, refused input, and a drive process that died.
# Usage: sgio_test.sh <mf-vdrived> <preload root> <probe, less 32 or 64> <scratch dir>
set -u
DAEMON=$1 PRELOAD="$2/\$LIB/libmfsgio.so" PROBE=$3 DIR=$4
fails=0
fail() { echo "FAIL: $*"; fails=$((fails + 1)); }
expect() { # expect <what> <text> <pattern>
    printf '%s\n' "$2" | grep -q -- "$3" || { fail "$1: no '$3' in:"; printf '%s\n' "$2" | sed 's/^/    /'; }
}
command -v sg_inq >/dev/null && command -v sg_write_buffer >/dev/null || { echo "FAIL: sg3-utils is not installed"; exit 1; }

rm -rf "$DIR" && mkdir -p "$DIR" && cd "$DIR" || exit 1
touch sr0 sr1
cat > vdrives.txt <<'LIST'
adapter 0 targets=2
drive 0 0 "MARROW  " "CDR-8400 FLASHER" "A054" after="A055" notready=0 path="sr0" letter=e
drive 0 1 "OTHERCO " "DVD-ROM 16X" "1.00" path="sr1" letter=f
fault 0 1 chunk offset=32 times=always sense=05/24/00
fault 0 1 vanish offset=4128
record out/record.txt
LIST
export MARROWFIN_VDRIVES="$DIR/vdrives.txt"
sg() { LD_PRELOAD="$PRELOAD" "$@"; }
pid=$("$DAEMON" start vdrives.txt) || { echo "FAIL: mf-vdrived did not start"; exit 1; }

# Identification.
out=$(sg sg_inq sr0 2>&1) || fail "sg_inq sr0 exited $?"
expect "sg_inq" "$out" "Vendor identification: MARROW"
expect "sg_inq" "$out" "Product identification: CDR-8400 FLASHER"
expect "sg_inq" "$out" "Product revision level: A054"

# A flash as the program does it: three 4096-byte chunks at 32 + address,
# the header with the image's 16-bit sum in bytes 30-31, then the save.
head -c 12288 /dev/urandom > image.bin
sum=$(od -An -v -tu1 image.bin | awk '{for (i = 1; i <= NF; i++) s += $i} END {print s % 65536}')
{ head -c 30 /dev/zero; printf "\\$(printf %o $((sum / 256)))\\$(printf %o $((sum % 256)))"; } > header.bin
flash() {
    for off in 0 4096 8192; do
        sg sg_write_buffer -m 6 -o $((32 + off)) -s $off -l 4096 -I image.bin sr0 || fail "chunk at $off exited $?"
    done
    sg sg_write_buffer -m 6 -o 0 -l 32 -I header.bin sr0 || fail "header exited $?"
    sg sg_write_buffer -m 7 sr0 || fail "save exited $?"
}
flash
cmp -s image.bin out/saved-0-0.bin || fail "the saved image differs from the image sent"
rec=$(cat out/record.txt)
expect "record" "$rec" "cmd ha=0 target=0 seq=3 cdb=3B0600000020001000.* dir=out len=4096 out=4096 .* result=GOOD"
expect "record" "$rec" "cmd ha=0 target=0 seq=5 cdb=3B0600002020001000.* result=GOOD"
expect "record" "$rec" "cmd ha=0 target=0 seq=6 cdb=3B0600000000000020.* out=32 .*sum=$(printf %04X $(( (sum / 256 + sum % 256) )))"
expect "record" "$rec" "cmd ha=0 target=0 seq=7 cdb=3B07.* result=GOOD"
expect "record" "$rec" "saved ha=0 target=0 bytes=12288 .* file=saved-0-0.bin"

# A refused chunk: the drive's sense reaches the tool, raw and decoded.
out=$(sg sg_write_buffer -vv -m 6 -o 32 -l 4096 -I image.bin sr1 2>&1)
[ $? -eq 5 ] || fail "a chunk refused with key 5 should exit 5 (illegal request)"
expect "refused chunk" "$out" "Invalid field in cdb"
expect "refused chunk" "$out" "70 00 05 00 00 00 00 0a  00 00 00 00 24 00"

# Gone at the write to 4128: that write and every later command fail the ioctl.
sg sg_write_buffer -m 6 -o 4128 -l 4096 -I image.bin sr1 >/dev/null 2>&1 && fail "the write at 4128 reached a vanished drive"
sg sg_inq sr1 >/dev/null 2>&1 && fail "sg_inq reached a vanished drive"
rec=$(grep 'target=1' out/record.txt)
expect "vanished" "$rec" "seq=2 cdb=3B0600001020.* result=TRANSPORT"
expect "vanished" "$rec" "seq=3 cdb=12.* result=TRANSPORT"

# The next run of the drive process answers the new revision.
"$DAEMON" stop vdrives.txt || fail "mf-vdrived stop"
pid=$("$DAEMON" start vdrives.txt) || fail "second start"
# fstat shows a stand-in as a block device (only a stand-in), and the
# address is the drive's: target 1 in dev_id's low byte.
for bits in 32 64; do
    expect "probe$bits" "$(sg "$PROBE$bits" sr0 2>&1)" "block version=30536 idlun=00000000 status=0 resid=0 id=MARROW  CDR-8400 FLASHERA055"
    expect "probe$bits" "$(sg "$PROBE$bits" sr1 2>&1)" "block version=30536 idlun=00000001 status=0 .* id=OTHERCO DVD-ROM 16X     1.00"
    expect "probe$bits" "$(sg "$PROBE$bits" image.bin 2>&1)" "^file "
done
expect "state" "$(cat vdrives.txt.state)" "drive 0 0 from=41303534 revision=41303535 saves=1"

# Refused input starts nothing and leaves the state file as it was.
cp vdrives.txt.state state.before
"$DAEMON" stop vdrives.txt
for case in "bad line|drive 0 0 \"MARROW  \" \"CDR-8400 FLASHER\" \"A054\" path=\"sr0\" speed=4|line 2: unknown drive setting 'speed'" \
            "missing stand-in|drive 0 0 \"MARROW  \" \"CDR-8400 FLASHER\" \"A054\" path=\"gone\"|stand-in file $DIR/gone of drive 0 0 is missing" \
            "one letter twice|drive 0 0 \"A\" \"B\" \"C\" path=\"sr0\" letter=e\\ndrive 0 1 \"A\" \"B\" \"C\" path=\"sr1\" letter=E|line 3: another drive already has this letter" \
            "one path twice|drive 0 0 \"A\" \"B\" \"C\" path=\"sr0\"\\ndrive 0 1 \"A\" \"B\" \"C\" path=\"sr0\"|line 3: another drive already uses this path" \
            "one file twice|drive 0 0 \"A\" \"B\" \"C\" path=\"sr0\"\\ndrive 0 1 \"A\" \"B\" \"C\" path=\"./sr0\"|stand-in file $DIR/./sr0 of drive 0 1 is another drive's too"; do
    name=${case%%|*} rest=${case#*|}
    printf "adapter 0\\n${rest%|*}\\n" > bad.txt
    cp state.before bad.txt.state
    out=$("$DAEMON" start bad.txt 2>&1) && { fail "$name: started"; "$DAEMON" stop bad.txt; }
    expect "$name" "$out" "${rest##*|}"
    cmp -s state.before bad.txt.state || fail "$name: the state file changed"
done

# A drive process that died, after a second flash: the ioctl fails, and the
# library says why once.
pid=$("$DAEMON" start vdrives.txt) || fail "third start"
flash
kill -9 "$pid"
while kill -0 "$pid" 2>/dev/null; do sleep 0.1; done
out=$(sg "${PROBE}32" sr0 2>&1)
expect "dead process" "$out" "sg_io=No such device"
[ "$(printf '%s\n' "$out" | grep -c 'does not answer')" -eq 1 ] || fail "dead process: the message should come once: $out"
out=$(sg sg_inq sr0 2>&1) && fail "sg_inq succeeded against a dead drive process"
expect "dead process" "$out" "libmfsgio: the drive process of $DIR/vdrives.txt does not answer"
# Nothing went with it: the next drive process has both saves.
pid=$("$DAEMON" start vdrives.txt) || fail "start after the kill"
expect "after the kill" "$(cat vdrives.txt.state)" "revision=41303535 saves=2"
"$DAEMON" stop vdrives.txt

[ $fails -eq 0 ] && echo "sgio: all cases passed"
[ $fails -eq 0 ]
