#!/usr/bin/env python3
"""Makes the Deflate and Deflate64 streams the inflate tests decode, with their originals.

Deflate streams come from Python's zlib (raw, window bits -15) at several levels and
strategies; Deflate64 streams from 7-Zip (7zz a -tzip -mm=Deflate64), cut out of the zip
archive it writes. The data is generated from fixed seeds, so every build gets the same
files. Writes <outdir>/manifest.txt with one line per stream:
    <method 8|9> <stream file> <original file>
Usage: makestreams.py <outdir>
"""
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile
import zipfile
import zlib


def words(n, seed):
    rnd = random.Random(seed)
    vocab = ["alpha", "orvandel", "window", "deflate", "setup", "the", "of", "and", "archive",
             "\n", "    ", "{", "}", "int", "return", "0x7F", "static", "const", "char*"]
    out = bytearray()
    while len(out) < n:
        out += rnd.choice(vocab).encode() + b" "
    return bytes(out[:n])


def noise(n, seed):
    return random.Random(seed).randbytes(n)


def mixed(n, seed):
    rnd = random.Random(seed)
    out = bytearray()
    while len(out) < n:
        kind = rnd.randrange(4)
        size = rnd.randrange(1, 5000)
        if kind == 0:
            out += rnd.randbytes(size)
        elif kind == 1:
            out += bytes([rnd.randrange(256)]) * size
        elif kind == 2 and len(out) > 70000:
            start = rnd.randrange(len(out) - 66000, len(out) - size) if len(out) > size + 66000 else 0
            out += out[start:start + size]
        else:
            out += words(size, rnd.randrange(1 << 30))
    return bytes(out[:n])


def samples():
    yield "empty", b""
    yield "one", b"A"
    for n in (100, 65535, 65536, 65537, 300000):
        yield f"words{n}", words(n, n)
    for n in (1000, 70000):
        yield f"noise{n}", noise(n, n)
    for n in (200000, 1000000):
        yield f"mixed{n}", mixed(n, n)
    yield "zeros200000", bytes(200000)


def rawdeflate(data, level, strategy):
    c = zlib.compressobj(level, zlib.DEFLATED, -15, 9, strategy)
    return c.compress(data) + c.flush()


def deflate64(files, workdir):
    """Compresses the files with 7-Zip's Deflate64 and returns {name: raw stream}."""
    archive = os.path.join(workdir, "d64.zip")
    subprocess.run(["7zz", "a", "-tzip", "-mm=Deflate64", "-mx=9", archive] + files,
                   check=True, stdout=subprocess.DEVNULL, cwd=workdir)
    streams = {}
    with open(archive, "rb") as f, zipfile.ZipFile(archive) as z:
        for info in z.infolist():
            f.seek(info.header_offset)
            header = f.read(30)
            namelen, extralen = struct.unpack("<HH", header[26:30])
            f.seek(info.header_offset + 30 + namelen + extralen)
            method = struct.unpack("<H", header[8:10])[0]
            streams[info.filename] = (method, f.read(info.compress_size))
    return streams


def main():
    outdir = sys.argv[1]
    os.makedirs(outdir, exist_ok=True)
    lines = []
    work = tempfile.mkdtemp()
    try:
        d64files = []
        for name, data in samples():
            original = name + ".bin"
            with open(os.path.join(outdir, original), "wb") as f:
                f.write(data)
            for level, strategy, tag in ((0, zlib.Z_DEFAULT_STRATEGY, "l0"),
                                         (1, zlib.Z_DEFAULT_STRATEGY, "l1"),
                                         (6, zlib.Z_DEFAULT_STRATEGY, "l6"),
                                         (9, zlib.Z_DEFAULT_STRATEGY, "l9"),
                                         (6, zlib.Z_FIXED, "fixed"),
                                         (6, zlib.Z_HUFFMAN_ONLY, "huff"),
                                         (6, zlib.Z_RLE, "rle")):
                stream = f"{name}.{tag}.deflate"
                with open(os.path.join(outdir, stream), "wb") as f:
                    f.write(rawdeflate(data, level, strategy))
                lines.append(f"8 {stream} {original}")
            if data:
                with open(os.path.join(work, name), "wb") as f:
                    f.write(data)
                d64files.append(name)
        for name, (method, stream) in deflate64(d64files, work).items():
            if method != 9:  # 7-Zip stores what does not compress
                continue
            filename = f"{name}.deflate64"
            with open(os.path.join(outdir, filename), "wb") as f:
                f.write(stream)
            lines.append(f"9 {filename} {name}.bin")
    finally:
        shutil.rmtree(work)
    with open(os.path.join(outdir, "manifest.txt"), "w") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
