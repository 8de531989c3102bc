#!/usr/bin/env python3
"""Draws MARROWFIN's own pictures: icon 128 (16x16 and 32x32, 16 colours)
and the logo bitmap 130 (97x67, 256 colours). Standard library only.
Run from this folder; the results are committed next to the script."""
import math
import struct

# The 16-colour VGA palette, as (r, g, b).
VGA = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
       (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
       (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
BLACK, NAVY, GREY, SILVER, BLUE, CYAN, WHITE, YELLOW = 0, 4, 8, 7, 12, 14, 15, 11


def disc_pixel(x, y, size):
    """Colour index of an optical disc with a firmware chip arrow, or None (transparent)."""
    c = (size - 1) / 2.0
    r = math.hypot(x - c, y - c) / (size / 2.0)
    if r > 0.98:
        return None
    if r > 0.88:
        return GREY
    if r < 0.14:
        return None
    if r < 0.24:
        return SILVER
    # Rainbow sheen of the data side, in two bands.
    angle = math.atan2(y - c, x - c)
    band = BLUE if math.sin(angle * 2) > 0.3 else (CYAN if math.sin(angle * 2) > -0.4 else SILVER)
    # An upward arrow: the upgrade.
    ax, ay = (x - c) / size, (y - c) / size
    if abs(ax) < 0.08 and -0.05 < ay < 0.3:
        return YELLOW
    if -0.32 < ay <= -0.05 and abs(ax) < (ay + 0.32) * 0.9:
        return YELLOW
    return band


def icon_image(size):
    rows_xor, rows_and = [], []
    for y in reversed(range(size)):  # bottom-up
        pix = [disc_pixel(x, y, size) for x in range(size)]
        nib = [p if p is not None else 0 for p in pix]
        row = bytes((nib[i] << 4) | nib[i + 1] for i in range(0, size, 2))
        rows_xor.append(row + b"\0" * ((-len(row)) % 4))
        bits = 0
        mask = bytearray()
        for i, p in enumerate(pix):
            bits = (bits << 1) | (1 if p is None else 0)
            if i % 8 == 7:
                mask.append(bits)
                bits = 0
        mask += b"\0" * ((-len(mask)) % 4)
        rows_and.append(bytes(mask))
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in VGA)
    return header + palette + b"".join(rows_xor) + b"".join(rows_and)


def write_icon(path):
    images = [icon_image(16), icon_image(32)]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip((16, 32), images):
        out += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    with open(path, "wb") as f:
        f.write(out + b"".join(images))


def write_logo(path, width=97, height=67):
    # Palette: a 128-step blue gradient, a 64-step grey ramp, then accents.
    palette = [(20 + i // 3, 40 + i // 2, 90 + i) for i in range(128)]
    palette += [(i * 4, i * 4, i * 4) for i in range(64)]
    palette += [(255, 210, 40), (255, 255, 255), (200, 30, 30)]
    palette += [(0, 0, 0)] * (256 - len(palette))
    gold, white, red = 192, 193, 194
    cx, cy, rad = 34, 33, 26
    rows = []
    for y in reversed(range(height)):
        row = bytearray()
        for x in range(width):
            r = math.hypot(x - cx, y - cy)
            if r < 5:
                p = 128 + 48
            elif r < 8:
                p = 128 + 40
            elif r < rad:
                shade = int(30 + 30 * (1 + math.sin(math.atan2(y - cy, x - cx) * 3)) / 2)
                p = 128 + min(63, shade)
            elif r < rad + 2:
                p = 128 + 20
            else:
                p = min(127, (x + y) * 127 // (width + height))
            # Three rising bars on the right: the firmware levels.
            for i, top in enumerate((42, 30, 18)):
                if 66 + i * 10 <= x < 73 + i * 10 and top <= y < 58:
                    p = gold if i < 2 else red
            if 62 <= x < 96 and 60 <= y < 62:
                p = white
            row.append(p)
        rows.append(bytes(row) + b"\0" * ((-width) % 4))
    pixels = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 0, len(pixels), 2835, 2835, 256, 0)
    pal = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    offset = 14 + len(info) + len(pal)
    head = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    with open(path, "wb") as f:
        f.write(head + info + pal + pixels)


if __name__ == "__main__":
    write_icon("marrowfin.ico")
    write_logo("logo.bmp")
