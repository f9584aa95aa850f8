#!/usr/bin/env python3
"""Draws the stub's icons and link cursor and writes them as .ico/.cur files.

usage: make-icons.py OUTDIR

MNICON: an open box with an arrow (the package), PWD: a key, URLHAND: a pointing hand.
Each is a 32x32 image with an AND mask in a single-image ICO/CUR container: the icons with
4 bits per pixel, the cursor, which is only black and white, with 1 bit per pixel.
"""
import struct
import sys
from pathlib import Path

SIZE = 32


def bitmap(pixels, hotspot=None, depth=4):
    """pixels: function (x, y) -> (r, g, b) or None for transparent. Returns the file bytes.

    The image has `depth` bits per pixel (4 or 1) and a palette of 2^depth entries whose
    first is the transparent black; every colour must be in the palette. Four bits keep each
    icon under 800 bytes of the stub's image, one bit the black-and-white cursor under 350.
    """
    entries = 1 << depth
    palette = [(0, 0, 0)] if depth == 4 else [(0, 0, 0), (255, 255, 255)]
    xor = bytearray()
    mask = bytearray()
    for y in range(SIZE - 1, -1, -1):  # bottom-up rows
        row = 0
        bits = 0
        for x in range(SIZE):
            colour = pixels(x, y)
            index = 0
            if colour is None:
                bits |= 1 << (31 - x)
            else:
                if colour not in palette:
                    palette.append(colour)
                index = palette.index(colour)
            row = row << depth | index
        xor += row.to_bytes(SIZE * depth // 8, "big")
        mask += bits.to_bytes(4, "big")
    assert len(palette) <= entries
    colours = b"".join(bytes((b, g, r, 0)) for r, g, b in palette + [(0, 0, 0)] * (entries - len(palette)))
    header = struct.pack(
        "<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, depth, 0, len(xor) + len(mask), 0, 0, entries, 0
    )
    image = header + colours + xor + mask
    kind = 2 if hotspot else 1
    planes, bpp = hotspot if hotspot else (1, depth)
    directory = struct.pack("<HHH", 0, kind, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, entries % 256, 0, planes, bpp, len(image), 6 + 16)
    return directory + entry + image


def package(x, y):
    if 14 <= y <= 28 and 4 <= x <= 27:  # the box
        edge = x in (4, 27) or y in (14, 28)
        return (90, 60, 20) if edge else (205, 160, 90)
    if 13 <= x <= 18 and 2 <= y <= 10:  # arrow shaft
        return (20, 110, 40)
    if 8 <= y <= 13 and abs(x - 15.5) <= 13 - y:  # arrow head
        return (20, 110, 40)
    return None


def key(x, y):
    cx, cy = 10, 16
    d = (x - cx) ** 2 + (y - cy) ** 2
    if 9 <= d <= 49:
        return (200, 160, 30)
    if 14 <= y <= 18 and 16 <= x <= 29:
        return (200, 160, 30)
    if 19 <= y <= 22 and x in (23, 24, 27, 28):
        return (200, 160, 30)
    return None


def hand(x, y):
    if 4 <= x <= 7 and 1 <= y <= 14:  # index finger
        return (0, 0, 0) if x in (4, 7) or y == 1 else (255, 255, 255)
    if 4 <= x <= 19 and 12 <= y <= 26:  # palm
        return (0, 0, 0) if x in (4, 19) or y == 26 else (255, 255, 255)
    return None


def main():
    out = Path(sys.argv[1])
    out.mkdir(parents=True, exist_ok=True)
    (out / "package.ico").write_bytes(bitmap(package))
    (out / "password.ico").write_bytes(bitmap(key))
    (out / "linkhand.cur").write_bytes(bitmap(hand, hotspot=(5, 1), depth=1))


if __name__ == "__main__":
    main()
