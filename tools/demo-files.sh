#!/bin/sh
# Fills the demo folder for tools/demo.sh: a drive list with two drives (one
# this firmware is for, one of another model), a compatibility list and a
# firmware image made for the first drive. On the ASPI road also the
# virtual-drive ASPI layer and the 9x Windows version for MARROWFIN.exe in
# the Wine prefix (WINEPREFIX is set by demo.sh); on the NT road the two
# stand-in files behind the letters e: and f: (demo.sh makes the prefix).
# Usage: demo-files.sh BUILD_WIN32_DIR DEMO_DIR [aspi|nt]
set -e
build="$1"
demo="$2"
road="${3:-aspi}"
if [ "$road" = nt ]; then
    touch "$demo/sr0" "$demo/sr1"
    e=' path="sr0" letter=e' f=' path="sr1" letter=f'
else
    dll="$build/vdrive/aspi/wnaspi32.dll"
    [ -f "$dll" ] || { echo "demo-files: $dll is missing; build the target vdrive_aspi" >&2; exit 1; }
    cp "$dll" "$demo/"
    e='' f=''
fi

# The drive list (format: vdrive/aspi/README.md; on the NT road each drive
# also names its stand-in file and letter). Edit it to rehearse with other
# drives; it is read at each program start (ASPI) or drive process start (NT).
cat > "$demo/vdrives.txt" <<LIST
# Two drives on one adapter: target 0 is the model the firmware is for,
# target 1 another model. The first reports A055 after a good save.
adapter 0 targets=2
drive 0 0 "MARROW" "CDR-8400 FLASHER" "A054" after="A055"$e
drive 0 1 "OTHERCO" "DVD-ROM 16X" "1.02"$f
record vdrive-record.txt
LIST

# The compatibility list: identification (vendor and product, 24 characters
# with their spaces), firmware file, and "Y" to ask for confirmation first.
printf '"MARROW  CDR-8400 FLASHER" "A055fw.hex" "Y"\n' > "$demo/IDString.txt"

# A 100,000-byte image in two 64 KB segments, with the drive's
# identification inside, as Intel-HEX with the program's segment record.
python3 - "$demo/A055fw.hex" <<'PY'
import random, sys
image = bytearray(random.Random(55).randbytes(100000))
ident = b"MARROW  CDR-8400 FLASHER"
image[0x200:0x200 + len(ident)] = ident
def record(address, kind, data=b""):
    body = bytes([len(data), address >> 8, address & 0xFF, kind]) + data
    return ":" + (body + bytes([-sum(body) & 0xFF])).hex().upper() + "\n"
with open(sys.argv[1], "w") as out:
    for base in range(0, len(image), 0x10000):
        if base:
            out.write(":00000055AB\n")
        for at in range(base, min(base + 0x10000, len(image)), 32):
            out.write(record(at - base, 0, bytes(image[at:min(at + 32, base + 0x10000, len(image))])))
    out.write(":00000001FF\n")
PY

# The program takes the ASPI road only on a 9x family Windows.
if [ "$road" != nt ]; then
    wine reg add 'HKCU\Software\Wine\AppDefaults\MARROWFIN.exe' /v Version /d win98 /f >/dev/null 2>&1
fi
