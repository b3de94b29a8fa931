#!/usr/bin/env python3
"""Writes resources/ravelin.ico: the launcher's icon, 16x16 and 32x32, 32-bit.

Run from anywhere: python3 tools/make_icon.py [output path]

Both images are stored as DIBs (BITMAPINFOHEADER, BGRA rows bottom-up, then
the 1-bit AND mask) rather than PNG, because every Windows version and every
resource compiler reads that form. The picture is drawn here, from a few
shapes, so the icon can be regenerated without any image editor.
"""

import os
import struct
import sys

# A blue rounded tile with a white "R" drawn on a 5x7 grid.
TILE_TOP = (0x2B, 0x6C, 0xD8)
TILE_BOTTOM = (0x16, 0x3E, 0x8C)
GLYPH = (0xFF, 0xFF, 0xFF)
LETTER_R = [
    "####.",
    "#...#",
    "#...#",
    "####.",
    "#.#..",
    "#..#.",
    "#...#",
]


def inside_rounded_square(x, y, size, radius):
    """True if the pixel centre (x+0.5, y+0.5) lies in the rounded tile."""
    cx, cy = x + 0.5, y + 0.5
    lo, hi = radius, size - radius
    nx = min(max(cx, lo), hi)
    ny = min(max(cy, lo), hi)
    return (cx - nx) ** 2 + (cy - ny) ** 2 <= radius ** 2


def draw(size):
    """Returns rows top-down, each a list of (r, g, b, a)."""
    radius = size / 5.0
    # The letter grid is scaled to whole pixels and centred on the tile.
    cell = max(1, size // 10)
    glyph_w, glyph_h = 5 * cell, 7 * cell
    gx0 = (size - glyph_w) // 2
    gy0 = (size - glyph_h) // 2
    rows = []
    for y in range(size):
        t = y / (size - 1)
        tile = tuple(round(a + (b - a) * t) for a, b in zip(TILE_TOP, TILE_BOTTOM))
        row = []
        for x in range(size):
            if not inside_rounded_square(x, y, size, radius):
                row.append((0, 0, 0, 0))
                continue
            gx, gy = x - gx0, y - gy0
            if 0 <= gx < glyph_w and 0 <= gy < glyph_h and LETTER_R[gy // cell][gx // cell] == "#":
                row.append(GLYPH + (0xFF,))
            else:
                row.append(tile + (0xFF,))
        rows.append(row)
    return rows


def dib(size):
    """One icon image: header, XOR bitmap (32-bit BGRA), AND mask."""
    rows = draw(size)
    # Height is doubled: the DIB covers the colour bitmap and the mask.
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            pixels += bytes((b, g, r, a))
    # Mask rows are padded to 32 bits; a set bit marks a transparent pixel.
    stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + bytes(pixels) + bytes(mask)


def icon(sizes):
    images = [dib(s) for s in sizes]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, data in zip(sizes, images):
        # Width and height 0 would mean 256; these sizes fit in a byte.
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for data in images:
        out += data
    return bytes(out)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    default = os.path.join(here, "..", "resources", "ravelin.ico")
    path = sys.argv[1] if len(sys.argv) > 1 else default
    with open(path, "wb") as f:
        f.write(icon([16, 32]))


if __name__ == "__main__":
    main()
