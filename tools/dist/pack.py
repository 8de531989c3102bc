#!/usr/bin/env python3
"""Writes the release zip: programs as they are, texts with CR LF line ends
and @VERSION@ filled in, and SHA256SUMS of all of them. Everything that could
vary between two machines or folders is fixed: names in sorted order, one
file time, one set of attributes, deflate at level 9, no extra fields."""
import argparse
import hashlib
import os
import sys
import time
import zipfile


def windows_text(path, version):
    with open(path, "rb") as f:
        data = f.read()
    if b"\r" in data:
        # Kept with LF in the repository; a CR here would become CR CR LF.
        sys.exit(f"pack: {path} holds a carriage return; keep it with LF line ends")
    return data.replace(b"@VERSION@", version.encode()).replace(b"\n", b"\r\n")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--version", required=True)
    parser.add_argument("--epoch", required=True, type=int)
    parser.add_argument("--out", required=True)
    parser.add_argument("--exe", action="append", default=[])
    parser.add_argument("--text", action="append", default=[])
    args = parser.parse_args()

    files = {}
    for path in args.exe:
        with open(path, "rb") as f:
            files[os.path.basename(path)] = f.read()
    for path in args.text:
        files[os.path.basename(path)] = windows_text(path, args.version)
    sums = "".join(f"{hashlib.sha256(files[name]).hexdigest()}  {name}\n" for name in sorted(files))
    files["SHA256SUMS"] = sums.encode()

    # Zip times are local-time fields without a zone; the UTC reading of the
    # epoch is the same on every machine. Zip cannot go before 1980.
    stamp = max(args.epoch, 315532800)
    date_time = time.gmtime(stamp)[:6]
    part = args.out + ".part"
    with zipfile.ZipFile(part, "w") as z:
        for name in sorted(files):
            info = zipfile.ZipInfo(name, date_time)
            info.create_system = 3                 # Unix, so the mode below is read
            info.external_attr = 0o100644 << 16    # a plain file, rw-r--r--
            info.compress_type = zipfile.ZIP_DEFLATED
            z.writestr(info, files[name], compresslevel=9)
    os.replace(part, args.out)
    with open(args.out, "rb") as f:
        digest = hashlib.sha256(f.read()).hexdigest()
    with open(args.out + ".sha256", "w") as f:
        f.write(f"{digest}  {os.path.basename(args.out)}\n")
    print(f"{args.out}\n{digest}")


if __name__ == "__main__":
    main()
