#!/usr/bin/env python3
"""Turns uncompressed 24- or 32-bit BMP pictures into PNG files, with nothing but the
standard library (zlib for the compressed data).

    scripts/bmp-to-png.py OUTPUT-FOLDER PICTURE.bmp ...

Each PICTURE.bmp becomes OUTPUT-FOLDER/PICTURE.png, an 8-bit RGB image. The PNG holds no
time or other varying chunk, so the same picture always gives the same bytes. Rows are
written with the "Up" filter (each byte less the one above), which suits dialogs' large
areas of one colour.
"""

import os
import struct
import sys
import zlib

BMP_SIGNATURE = b"BM"
PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"
PNG_RGB = 2
PNG_DEPTH = 8
FILTER_UP = 2
COMPRESSION_LEVEL = 9


def read_bmp(data):
    """Width, height and rows of RGB bytes, top row first."""
    if data[:2] != BMP_SIGNATURE:
        raise ValueError("not a BMP file")
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height, _, bits, compression = struct.unpack_from("<iiHHI", data, 18)
    if bits not in (24, 32) or compression != 0:
        raise ValueError(f"{bits}-bit BMP with compression {compression} is not supported")
    pixel = bits // 8
    stride = (width * pixel + 3) & ~3
    rows = []
    for y in range(abs(height)):
        start = offset + y * stride
        bgr = data[start:start + width * pixel]
        rgb = bytearray(width * 3)
        rgb[0::3] = bgr[2::pixel]
        rgb[1::3] = bgr[1::pixel]
        rgb[2::3] = bgr[0::pixel]
        rows.append(bytes(rgb))
    if height > 0:  # a positive height stores the bottom row first
        rows.reverse()
    return width, abs(height), rows


def chunk(kind, body):
    return (struct.pack(">I", len(body)) + kind + body +
            struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))


def png(width, height, rows):
    raw = bytearray()
    previous = bytes(width * 3)
    for row in rows:
        raw.append(FILTER_UP)
        raw += bytes((a - b) & 0xFF for a, b in zip(row, previous))
        previous = row
    header = struct.pack(">IIBBBBB", width, height, PNG_DEPTH, PNG_RGB, 0, 0, 0)
    return (PNG_SIGNATURE + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(bytes(raw), COMPRESSION_LEVEL)) + chunk(b"IEND", b""))


def main(arguments):
    if len(arguments) < 2:
        sys.exit(__doc__.strip())
    folder = arguments[0]
    os.makedirs(folder, exist_ok=True)
    for path in arguments[1:]:
        with open(path, "rb") as source:
            width, height, rows = read_bmp(source.read())
        name = os.path.splitext(os.path.basename(path))[0] + ".png"
        with open(os.path.join(folder, name), "wb") as target:
            target.write(png(width, height, rows))


if __name__ == "__main__":
    main(sys.argv[1:])
