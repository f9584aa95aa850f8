#!/usr/bin/env python3
"""Draws the stub's icons and link cursor and writes them as .ico/.cur files.

usage: make-icons.py OUTDIR

MNICON: an open box with a green arrow going into it (the package), at the sizes of
PACKAGE_SIZES; PWD: a golden key, at KEY_SIZES; URLHAND: a white pointing hand with a black
outline, 32 pixels, its hot spot at the fingertip. Every image has 32-bit colour with an alpha
channel.

Drawing: each image is a list of layers painted back to front. A layer is a region, the union
of rectangles, circles and polygons less its holes, filled with one colour and outlined with
another; the outline is the part of the region within the stroke width of its edge, so that
overlapping parts of one layer share one outline. Regions are rasterised at SAMPLES x SAMPLES
points per pixel, each grid row held as the bits of one integer (the outline is the region
less its erosion, an AND of shifted rows), and each pixel's colour is the average of its
points: anti-aliased edges, with the shapes placed on whole pixels where an edge should stay
sharp. Each size is drawn on its own, with the detail that size can show.

Storage: MNICON stays in the file, where the shell reads it, so its images are PNG (Windows
Vista and later read PNG images in icons); PWD and URLHAND are read only by the running stub,
whose build packs them with its code, so they are plain device-independent bitmaps, which
Deflate packs as well.
"""
import os
import struct
import sys
import zlib
from pathlib import Path

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "cmake"))
import strongest  # noqa: E402  (the build's shared compressor)

SAMPLES = 8  # points per pixel along each axis
# The icon sizes Windows asks for at the usual display scales of 100, 125, 150 and 200 %: the
# small icon (16 at 100 %) at 16, 20, 24 and 32 pixels, the large one (32) at 32, 40, 48 and
# 64. A 256-pixel image for Explorer's largest views would cost more than all of these.
PACKAGE_SIZES = (16, 20, 24, 32, 40, 48, 64)
# The key is shown only by the password dialog's icon control, at the large icon's size: 32
# and 48 pixels; Windows makes 125 %'s 40 from the 48, and 200 %'s 64 too, which as an image
# of its own would cost the packed stub 750 bytes more.
KEY_SIZES = (32, 48)
PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"
PNG_FILTERS = 5  # none, sub, up, average, Paeth


# --- Regions: one integer of SAMPLES * size bits per grid row -------------------------------

def spans_region(size, spans):
    """A region from spans(y) -> [(x0, x1), ...] in pixel units, sampled at point centres."""
    n = size * SAMPLES
    rows = []
    for gy in range(n):
        bits = 0
        for x0, x1 in spans((gy + 0.5) / SAMPLES):
            g0 = max(0, int(x0 * SAMPLES + 0.5))
            g1 = min(n, int(x1 * SAMPLES + 0.5))
            if g1 > g0:
                bits |= ((1 << (g1 - g0)) - 1) << g0
        rows.append(bits)
    return rows


def rect(size, x0, y0, x1, y1):
    return spans_region(size, lambda y: [(x0, x1)] if y0 <= y < y1 else [])


def circle(size, cx, cy, r):
    def spans(y):
        d = r * r - (y - cy) ** 2
        return [(cx - d ** 0.5, cx + d ** 0.5)] if d > 0 else []
    return spans_region(size, spans)


def polygon(size, points):
    """Even-odd fill of a closed polygon."""
    edges = list(zip(points, points[1:] + points[:1]))

    def spans(y):
        xs = sorted(x0 + (y - y0) * (x1 - x0) / (y1 - y0)
                    for (x0, y0), (x1, y1) in edges if (y0 <= y < y1) or (y1 <= y < y0))
        return list(zip(xs[::2], xs[1::2]))
    return spans_region(size, spans)


def union(*regions):
    return [sum_or(rows) for rows in zip(*regions)]


def sum_or(rows):
    bits = 0
    for r in rows:
        bits |= r
    return bits


def minus(region, hole):
    return [a & ~b for a, b in zip(region, hole)]


def erode(region, width):
    """The points of region whose square of half-side width (pixels) lies inside it."""
    reach = round(width * SAMPLES)
    rows = []
    for r in region:
        eroded = r
        for k in range(1, reach + 1):
            eroded &= (r >> k) & (r << k)
        rows.append(eroded)
    out = []
    for y in range(len(rows)):
        bits = rows[y]
        for k in range(1, reach + 1):
            above, below = y - k, y + k
            bits &= rows[above] if above >= 0 else 0
            bits &= rows[below] if below < len(rows) else 0
        out.append(bits)
    return out


# --- Painting -----------------------------------------------------------------------------

class Canvas:
    def __init__(self, size):
        self.size = size
        self.edge = max(1, size // 32)  # outline width: a pixel for every 32 of the size
        self.paint = []  # (region, rgba), back to front

    def layer(self, region, fill, stroke=None):
        if stroke is None:
            self.paint.append((region, fill))
            return
        inner = erode(region, self.edge)
        self.paint.append((minus(region, inner), stroke))
        self.paint.append((inner, fill))

    def pixels(self):
        """Rows of (r, g, b, a), top row first, each the average of its points."""
        n = self.size * SAMPLES
        covered = [0] * n
        visible = []
        for region, colour in reversed(self.paint):  # the topmost hides what lies below
            visible.append(([r & ~c for r, c in zip(region, covered)], colour))
            covered = [r | c for r, c in zip(region, covered)]
        block = (1 << SAMPLES) - 1
        area = SAMPLES * SAMPLES
        out = []
        for y in range(self.size):
            row = []
            for x in range(self.size):
                sums = [0, 0, 0, 0]
                for region, (r, g, b, a) in visible:
                    count = sum(((region[y * SAMPLES + k] >> (x * SAMPLES)) & block).bit_count()
                                for k in range(SAMPLES))
                    weight = count * a
                    sums[0] += weight * r
                    sums[1] += weight * g
                    sums[2] += weight * b
                    sums[3] += weight
                alpha = sums[3] / area
                if sums[3]:
                    row.append(tuple(round(s / sums[3]) for s in sums[:3]) + (round(alpha),))
                else:
                    row.append((0, 0, 0, 0))
            out.append(row)
        return out


def rgba(r, g, b, a=255):
    return (r, g, b, a)


# --- The drawings ---------------------------------------------------------------------------

BOX_FACE, BOX_FLAP, BOX_INSIDE, BOX_EDGE = rgba(210, 150, 80), rgba(236, 192, 124), \
    rgba(110, 70, 30), rgba(104, 62, 20)
TAPE = rgba(238, 218, 170)
ARROW, ARROW_EDGE = rgba(52, 168, 72), rgba(18, 92, 36)


def package(size):
    """The open box with the arrow going in. 16 pixels: box, opening, arrow; from 32 on the
    flaps and a strip of tape as well."""
    s = size
    c = Canvas(s)
    top = round(0.47 * s)  # the box's top edge
    left, right, bottom = round(0.06 * s), s - round(0.06 * s), s - round(0.03 * s)
    if s >= 32:
        flap = round(0.22 * s)
        c.layer(polygon(s, [(left, top + 1), (0, top - flap), (0.30 * s, top - flap),
                            (0.42 * s, top + 1)]), BOX_FLAP, BOX_EDGE)
        c.layer(polygon(s, [(right, top + 1), (s, top - flap), (0.70 * s, top - flap),
                            (0.58 * s, top + 1)]), BOX_FLAP, BOX_EDGE)
    c.layer(rect(s, left, top - round(0.08 * s), right, top + 2), BOX_INSIDE, BOX_EDGE)
    c.layer(rect(s, left, top, right, bottom), BOX_FACE, BOX_EDGE)
    if s >= 32:
        band = round(0.09 * s)
        c.layer(rect(s, left + c.edge, top + round(0.30 * s), right - c.edge,
                     top + round(0.30 * s) + band), TAPE)
    # The arrow: a shaft and a head whose tip reaches into the box.
    half = 0.5 * s
    shaft = max(2, round(0.11 * s))
    head = round(0.26 * s)
    neck = round(0.38 * s)
    tip = round(0.74 * s)
    c.layer(union(rect(s, half - shaft, round(0.02 * s), half + shaft, neck + 1),
                  polygon(s, [(half - head, neck), (half + head, neck), (half, tip)])),
            ARROW, ARROW_EDGE)
    return c


KEY, KEY_EDGE = rgba(240, 190, 48), rgba(128, 84, 8)


def key(size):
    """A key lying across: the bow, a ring, on the left and the blade with two teeth."""
    s = size
    c = Canvas(s)
    cy = 0.5 * s
    blade_top, blade_bottom = round(0.42 * s), round(0.56 * s)
    end = s - round(0.03 * s)
    t1, t2 = round(0.66 * s), round(0.84 * s)
    tooth = round(0.08 * s) or 1
    c.layer(polygon(s, [(0.40 * s, blade_top), (end, blade_top), (end, blade_bottom + tooth),
                        (t2, blade_bottom + tooth), (t2, blade_bottom),
                        (t1 + tooth, blade_bottom), (t1 + tooth, blade_bottom + 2 * tooth),
                        (t1 - tooth, blade_bottom + 2 * tooth), (t1 - tooth, blade_bottom),
                        (0.40 * s, blade_bottom)]), KEY, KEY_EDGE)
    centre = 0.28 * s
    bow = minus(circle(s, centre, cy, 0.27 * s), circle(s, centre - 0.05 * s, cy, 0.10 * s))
    c.layer(bow, KEY, KEY_EDGE)
    return c


HAND, HAND_EDGE = rgba(255, 255, 255), rgba(0, 0, 0)
HAND_HOTSPOT = (10, 1)


def hand(size):
    """A pointing hand: the index finger up, the other fingers folded into the palm; its
    fingertip is the hot spot."""
    c = Canvas(size)
    finger = union(rect(size, 8, 3, 13, 18), circle(size, 10.5, 3.5, 2.5))
    knuckles = union(rect(size, 13, 11, 17, 20), circle(size, 15, 11.5, 2),
                     rect(size, 17, 12, 21, 21), circle(size, 19, 12.5, 2),
                     rect(size, 21, 13.5, 25, 22), circle(size, 23, 14, 2))
    thumb = polygon(size, [(8, 15), (4, 12.5), (2.5, 14), (7, 22), (9, 22)])
    palm = polygon(size, [(7, 17), (25, 17), (25, 24), (21, 30), (10, 30), (7, 24)])
    c.layer(union(finger, knuckles, thumb, palm), HAND, HAND_EDGE)
    return c


# --- Files ----------------------------------------------------------------------------------

def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    return a if pa <= pb and pa <= pc else b if pb <= pc else c


def filtered(kind, row, previous):
    out = bytearray([kind])
    for i, value in enumerate(row):
        a = row[i - 4] if i >= 4 else 0
        b = previous[i]
        c = previous[i - 4] if i >= 4 else 0
        predictor = (0, a, b, (a + b) // 2, paeth(a, b, c))[kind]
        out.append((value - predictor) & 0xFF)
    return bytes(out)


def png(pixels):
    """An 8-bit RGBA PNG; of the five row filters used throughout, the one that packs best."""
    size = len(pixels)
    rows = [bytes(v for p in row for v in p) for row in pixels]
    best = None
    for kind in range(PNG_FILTERS):
        previous = bytes(4 * size)
        data = b""
        for row in rows:
            data += filtered(kind, row, previous)
            previous = row
        packed = strongest.compress(data, "zlib")
        if best is None or len(packed) < len(best):
            best = packed

    def chunk(tag, body):
        return struct.pack(">I", len(body)) + tag + body + struct.pack(
            ">I", zlib.crc32(tag + body))
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return PNG_SIGNATURE + chunk(b"IHDR", header) + chunk(b"IDAT", best) + chunk(b"IEND", b"")


def bitmap(pixels):
    """A 32-bit icon bitmap: header (height doubled for the mask), BGRA rows bottom-up, then
    the AND mask, one bit a pixel, set where the pixel is wholly transparent."""
    size = len(pixels)
    colour = b"".join(bytes((b, g, r, a)) for row in reversed(pixels) for r, g, b, a in row)
    stride = (size + 31) // 32 * 4
    mask = b""
    for row in reversed(pixels):
        bits = 0
        for x, p in enumerate(row):
            if p[3] == 0:
                bits |= 1 << (stride * 8 - 1 - x)
        mask += bits.to_bytes(stride, "big")
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0,
                         len(colour) + len(mask), 0, 0, 0, 0)
    return header + colour + mask


def container(images, hotspot=None):
    """An ICO (or, with a hot spot, a CUR) file of (size, bytes) images."""
    out = struct.pack("<HHH", 0, 2 if hotspot else 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        planes, bits = hotspot if hotspot else (1, 32)
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, planes, bits, len(data),
                           offset)
        offset += len(data)
    return out + b"".join(data for _, data in images)


def main():
    out = Path(sys.argv[1])
    out.mkdir(parents=True, exist_ok=True)
    (out / "package.ico").write_bytes(
        container([(s, png(package(s).pixels())) for s in PACKAGE_SIZES]))
    (out / "password.ico").write_bytes(
        container([(s, bitmap(key(s).pixels())) for s in KEY_SIZES]))
    (out / "linkhand.cur").write_bytes(
        container([(32, bitmap(hand(32).pixels()))], hotspot=HAND_HOTSPOT))


if __name__ == "__main__":
    main()
