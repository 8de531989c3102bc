#!/bin/sh
# marrowfin-check --json: the object parses, names its facts in snake_case,
# and its exit_code is the program's exit status. Usage: json_test.sh CHECKER
set -eu
checker="$1"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
id='MARROW  CDR-8400 FLASHER'
# One row, then a row whose file name holds an 8-bit character (E9h), which
# must still come out as valid JSON.
printf '"%s" "A054fw.hex" "N"\r\n"%s" "B\351.hex" "N"\r\n' "$id" "$id" >"$dir/IDString.txt"
# The identification at 0, then a record whose checksum should be F2h.
printf ':180000004D4152524F5720204344522D3834303020464C4153484552D9\n:0400000001020304F1\n:00000001FF\n' \
    >"$dir/A054fw.hex"
status=0
"$checker" --json "$dir" "$id" A054 >"$dir/out.json" || status=$?
python3 - "$dir/out.json" "$status" <<'PY'
import json, sys
facts = json.load(open(sys.argv[1], encoding="utf-8"))
status = int(sys.argv[2])
def expect(what, got, want):
    if got != want:
        sys.exit(f"{what}: expected {want!r}, got {got!r}")
expect("exit status", status, 4)
expect("exit_code", facts["exit_code"], 4)
expect("result", facts["result"], "image_rejected")
expect("drive", facts["drive"], {"id": "MARROW  CDR-8400 FLASHER", "revision": "A054"})
expect("rows", facts["list"]["rows"], 2)
expect("start_up", facts["start_up"], {"matched_row": 1, "upgrade_enabled": True})
expect("revision_row", facts["upgrade"]["revision_row"], 1)
expect("image_kind", facts["upgrade"]["image_kind"], "hex")
expect("why", facts["why"], ["line 2: bad record checksum: expected F2h, found F1h"])
expect("last shown", facts["shown"][-1], {"where": "log", "text": "Flashing is incorrect!!"})
expect("second row", facts["shown"][2]["text"], "(2) MARROW  CDR-8400 FLASHER  B\u00e9.hex")
expect("save_sent", facts["commands"]["save_sent"], False)
for key in facts:
    expect("snake_case name " + key, key, key.lower())
print("marrowfin-check --json: 1 passed, 0 failed")
PY
