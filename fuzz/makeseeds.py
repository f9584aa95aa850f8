#!/usr/bin/env python3
"""Writes the seed inputs of the fuzzers into fuzz/corpus/<target>/ (run once; the fuzzers
add what they find). Inflate seeds start with the input-block byte of fuzz/entries.h.
Usage: makeseeds.py [corpus folder]"""
import lzma
import os
import struct
import subprocess
import sys
import tempfile
import zlib
import zipfile

corpus = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "corpus")


def write(target, name, data):
    os.makedirs(os.path.join(corpus, target), exist_ok=True)
    with open(os.path.join(corpus, target, "seed-" + name), "wb") as f:
        f.write(data)


def raw(data, level, strategy=zlib.Z_DEFAULT_STRATEGY):
    c = zlib.compressobj(level, zlib.DEFLATED, -15, 8, strategy)
    return c.compress(data) + c.flush()


samples = {
    "text": b"the quick brown fox jumps over the lazy dog; " * 20,
    "runs": b"a" * 300 + b"ab" * 200 + bytes(range(256)),
    "bytes": bytes((i * 7 + (i >> 3)) & 0xFF for i in range(1500)),
}
strategies = {"l1": (1, 0), "l6": (6, 0), "l9": (9, 0), "fixed": (6, zlib.Z_FIXED),
              "huff": (6, zlib.Z_HUFFMAN_ONLY), "rle": (6, zlib.Z_RLE), "stored": (0, 0)}
for name, data in samples.items():
    for tag, (level, strategy) in strategies.items():
        for block in (0x05, 0xFF):
            write("inflate_deflate", f"{name}-{tag}-{block:02x}", bytes([block]) + raw(data, level, strategy))

with tempfile.TemporaryDirectory() as work:
    for name, data in samples.items():
        with open(os.path.join(work, name), "wb") as f:
            f.write(data * 50)  # long enough for Deflate64's long matches
    archive = os.path.join(work, "d64.zip")
    subprocess.run(["7zz", "a", "-tzip", "-mm=Deflate64", archive] + list(samples),
                   cwd=work, check=True, stdout=subprocess.DEVNULL)
    with open(archive, "rb") as f, zipfile.ZipFile(archive) as z:
        for info in z.infolist():
            f.seek(info.header_offset)
            header = f.read(30)
            namelen, extralen = struct.unpack("<HH", header[26:30])
            f.seek(info.header_offset + 30 + namelen + extralen)
            stream = f.read(info.compress_size)
            for block in (0x05, 0xFF):
                write("inflate_deflate64", f"{info.filename}-{block:02x}", bytes([block]) + stream)
    for name, data in samples.items():
        write("inflate_deflate64", f"{name}-fixed", b"\xff" + raw(data, 6, zlib.Z_FIXED))

# Text block: "{SLF}", length, checksum, 66 texts (the checksum is not checked here).
texts = b"".join(f"Text number {i}".encode() + b"\0" for i in range(66))
block = b"{SLF}" + struct.pack("<II", 13 + len(texts), 0) + texts
write("textblock", "texts", block)
write("textblock", "padded", b"\0" * 40 + block + b"tail")
write("textblock", "short", b"{SLF}" + struct.pack("<II", 20, 0) + b"a\0b")

# Options block: magic, version 3, length, flags A and B, reserved, then the texts.
def options(title, folder, command, prompt, about, description, flags=(0x46, 0x41), version=3):
    body = bytes([flags[0], flags[1]]) + b"\0\0"
    body += bytes([len(title)]) + title + bytes([len(folder)]) + folder
    body += struct.pack("<H", len(command)) + command
    body += struct.pack("<HH", len(prompt), 0x24) + prompt
    body += struct.pack("<H", len(about)) + about + struct.pack("<H", len(description)) + description
    return b"MPV2" + struct.pack("<HH", version, 8 + len(body)) + body + b"PK\3\4"

write("optionsblock", "full", options(b"Orvandel setup", b"%temp%\\orv", b"setup.exe|/q",
                                      b"Install now?", b"About text", b"Description"))
write("optionsblock", "empty", options(b"", b"", b"", b"", b"", b""))
write("optionsblock", "version2", options(b"T", b"F", b"", b"", b"", b"", version=2))

# Engine: small archives of every kind the engine reads. The first byte chooses the answer
# to password questions (1: "secret").
def zipbytes(entries, compression=zipfile.ZIP_DEFLATED):
    path = os.path.join(tempfile.mkdtemp(), "a.zip")
    with zipfile.ZipFile(path, "w", compression) as z:
        for name, data in entries:
            z.writestr(name, data)
    with open(path, "rb") as f:
        return f.read()


def streamed(entries):
    """Members written through a non-seekable stream carry data descriptors (bit 3)."""
    import io

    class Unseekable(io.RawIOBase):
        def __init__(self):
            self.data = bytearray()

        def writable(self):
            return True

        def write(self, b):
            self.data += b
            return len(b)

    out = Unseekable()
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in entries:
            with z.open(name, "w") as member:
                member.write(data)
    return bytes(out.data)


members = [("readme.txt", samples["text"]), ("sub/dir/data.bin", samples["bytes"]),
           ("empty/", b""), ("runs.txt", samples["runs"])]
write("engine", "deflate", b"\0" + zipbytes(members))
write("engine", "stored", b"\0" + zipbytes(members, zipfile.ZIP_STORED))
write("engine", "descriptor", b"\0" + streamed(members))
write("engine", "traversal", b"\0" + zipbytes([("../escape.txt", b"x"), ("/abs.txt", b"y"),
                                              ("a/../../b.txt", b"z"), ("c:\\d.txt", b"w")]))
with tempfile.TemporaryDirectory() as work:
    for name, data in samples.items():
        with open(os.path.join(work, name), "wb") as f:
            f.write(data * 20)
    for tag, options in (("deflate64", ["-mm=Deflate64"]),
                         ("zipcrypto", ["-mem=ZipCrypto", "-psecret"]),
                         ("zipcrypto-d64", ["-mm=Deflate64", "-mem=ZipCrypto", "-psecret"])):
        archive = os.path.join(work, tag + ".zip")
        subprocess.run(["7zz", "a", "-tzip"] + options + [archive] + list(samples), cwd=work,
                       check=True, stdout=subprocess.DEVNULL)
        with open(archive, "rb") as f:
            write("engine", tag, b"\1" + f.read())

# Folder macros: the folder, then the lookups' answers (temp, Windows, system, current, module,
# fonts, desktop, documents, unique name, registry value, flags), separated by NUL bytes.
machine = [b"C:\\Temp\\", b"C:\\Windows", b"C:\\Windows\\System32", b"D:\\Work",
           b"E:\\Media\\setup.exe", b"C:\\Windows\\Fonts", b"C:\\Users\\Ann\\Desktop",
           b"C:\\Users\\Ann\\Documents", b"C:\\Temp\\SFX1F.tmp", b"C:\\App\\run.exe", b"\x01"]
folders = {"temp": b"%temp%\\Setup", "prog": b"%PROG%\\My App", "src": b"%SRC-PATH%data",
           "angle": b"><", "unique": b"%TEMP-UNIQUE%\\x", "dot": b".", "two": b"%WIN%%TEMP%",
           "fonts": b"%FONTS%", "desktop": b"%desktop%\\a", "docs": b"%DOCS%", "winsys": b"%WINSYS%",
           "registry": b"HKLM\\Software\\Vendor\\InstallPath|Data", "hkcu": b"hkey_current_user\\K\\V",
           "plain": b"C:\\Program Files\\Mine", "empty": b""}
for name, folder in folders.items():
    write("foldermacros", name, b"\0".join([folder] + machine))
write("foldermacros", "long-values", b"\0".join([b"%TEMP%\\x"] + [b"C:\\" + b"v" * 300] * 11))
write("foldermacros", "limit-values", b"\0".join([b"HKCU\\K\\V|tail"] + [b"C:\\" + b"v" * 252] * 11))

# Command line: a byte choosing the package's command (0 none, 1 "setup.exe", 2
# "setup.exe|-q"), the password buffer's size less one, the tail, NUL, the module path.
tails = {"empty": b"", "auto": b"/a /x", "silent": b"/ss /d C:\\My Files /o",
         "values": b"/dC:\\x -d:D:\\y \\d E:\\z /p my secret /P:pw",
         "params": b"/a /# -v file.txt /x", "usage": b"/q /? /x", "help": b"-H",
         "unquoted": b"\"C:\\Program Files\\setup.exe /s", "byteone": b"/d a\x01b\x01/c",
         "long": b"/d " + b"d" * 300 + b" /p " + b"p" * 300,
         "many": b" ".join([b"-z"] * 60 + [b"/# x"]),
         "unknown": b"/z /1 / a - \\ -- x/a"}
for name, tail in tails.items():
    for command in (1, 2):
        write("commandline", f"{name}-{command}", bytes([command, 255]) + tail + b"\0C:\\Temp\\SETUP.EXE")
write("commandline", "smallpassword", b"\0\7/p longer than seven" + b"\0" + b"%s%n%d")

# After-extraction command: the command, destination, current folder and program path,
# separated by NUL bytes.
places = [b"C:/Apps/", b"C:\\Work\\Build", b"C:\\Downloads\\demo.exe"]
commands = {"dest": b"{P}\\setup.exe|/s", "arrows": b"><setup.exe", "parent": b"..\\a .\\b",
            "self": b"{S}\\readme.txt|{S}", "inf": b"{p}driver.INF", "reg": b"settings.reg|x",
            "bars": b"run.exe|a|b", "long": b"{P}" + b"n" * 520 + b"|" + b"p" * 300,
            "plain": b"notepad.exe"}
for name, command in commands.items():
    write("commandtext", name, b"\0".join([command] + places))
write("commandtext", "root", b"\0".join([b"{P}x.exe", b"C:", b"C:\\", b""]))
write("commandtext", "longfolders", b"\0".join([b"{P}..\\.\\{S}\\x"] + [b"C:\\" + b"f" * 300] * 3))

# Archive list: directories with every naming rule, comments, a package's absolute offsets
# and the end record at both edges of the dialog's window. The first byte is 1: the comment
# is wanted.
def unicodepath(utf8, stored):
    data = struct.pack("<BI", 1, zlib.crc32(stored)) + utf8
    return struct.pack("<HH", 0x7075, len(data)) + data


def central(name, size=0, flags=0, version=20, host=0, external=0x20, extra=b"", comment=b""):
    return (b"PK\1\2" + struct.pack("<BBHHHIIIIHHHHHII", version, host, 20, flags, 0, 0, 0, size,
                                    size, len(name), len(extra), len(comment), 0, 0, external, 0)
            + name + extra + comment)


def directory(entries, comment=b"", front=b""):
    body = b"".join(entries)
    end = b"PK\5\6" + struct.pack("<HHHHIIH", 0, 0, len(entries), len(entries), len(body),
                                  len(front), len(comment))
    return front + body + end + comment


write("archivelist", "zipfile", b"\1" + zipbytes(members))
write("archivelist", "package", b"\1" + directory(
    [central(b"setup.exe", 70000), central(b"docs/", external=0x10)], b"note", b"\x90" * 3000))
write("archivelist", "names", b"\1" + directory([
    central("caf\u00e9.txt".encode(), flags=0x800, comment=b"entry comment"),
    central(b"\x81ber.txt"),
    central(b"\xfcber.txt", version=25, external=0x81A40020),
    central(b"caf\xe9.txt", extra=unicodepath("caf\u00e9.txt".encode(), b"caf\xe9.txt")),
    central(b"DISKLABE.L01", external=0x08),
    central(b"unix.txt", host=3, external=0x81A40000),
    central(b"n" * 300, extra=unicodepath(b"short.txt", b"n" * 259)),
    central(b"a\0b.txt"),
]))
write("archivelist", "windowstart", b"\1" + directory([central(b"w.txt", 1)], b"c" * 65535,
                                                      b"\x90" * 100))
write("archivelist", "cutcomment", b"\1" + directory([central(b"c.txt", 2)], b"c" * 50)[:-10])
write("archivelist", "empty", b"\0" + directory([]))
write("archivelist", "large", b"\0" + directory([central(b"a", 0xFFFFFFFF),
                                                 central(b"b", 0xFFFFFFFF)]))

# LZMA: five control bytes (input block, flags with bit 0 the end-marker flag, the stated size
# in 3 bytes), then member data: the zip's LZMA header, properties and a raw stream of
# Python's lzma (which ends with the end marker).
for name, data in samples.items():
    for preset in (0, 6):
        for lc, lp, pb in ((3, 0, 2), (0, 2, 0), (4, 0, 4)):
            f = {"id": lzma.FILTER_LZMA1, "preset": preset, "lc": lc, "lp": lp, "pb": pb,
                 "dict_size": 65536}
            stream = lzma.compress(data, format=lzma.FORMAT_RAW, filters=[f])
            props = lzma._encode_filter_properties(f)
            member = struct.pack("<BBH", 9, 20, len(props)) + props + stream
            for block, flags in ((0x05, 1), (0xFF, 0)):
                control = bytes([block, flags]) + struct.pack("<I", len(data))[:3]
                write("lzma", f"{name}-p{preset}-{lc}{lp}{pb}-{block:02x}", control + member)
