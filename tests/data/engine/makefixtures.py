#!/usr/bin/env python3
"""Makes the engine's test archives with tools no one on this project wrote.

Usage: makefixtures.py OUTPUT_FOLDER

Most archives are written by Python's zipfile; some are then patched byte by byte to make
a specific fault (a wrong CRC, an unknown method, a cut directory ...), and the patch is
named next to each. Others come from 7-Zip (7zz) and bsdtar, with the commands shown.
Member contents are derived from fixed seeds, so every run makes the same files.
"""
import io
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile
import zipfile
import zlib

OUT = sys.argv[1]
DOS_SUMMER = (2020, 7, 1, 12, 0, 0)


def data(seed, size):
    return random.Random(seed).randbytes(size)


def info(name, date_time=DOS_SUMMER, extra=b"", attr=None, system=3):
    zi = zipfile.ZipInfo(name, date_time)
    zi.compress_type = zipfile.ZIP_STORED
    zi.extra = extra
    zi.create_system = system
    if attr is not None:
        zi.external_attr = attr
    return zi


def build(members):
    """members: list of (ZipInfo or name, bytes). Returns the archive bytes."""
    buf = io.BytesIO()
    with zipfile.ZipFile(buf, "w", zipfile.ZIP_STORED) as z:
        for zi, content in members:
            if isinstance(zi, str):
                zi = info(zi)
            z.writestr(zi, content)
    return buf.getvalue()


def save(name, blob):
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(blob)


def endrecord(blob):
    pos = blob.rfind(b"PK\x05\x06")
    count, size, offset = struct.unpack_from("<HII", blob, pos + 10)
    return pos, count, size, offset


def central_entries(blob):
    """Offsets of the central headers, in order."""
    _, count, _, offset = endrecord(blob)
    result, pos = [], offset
    for _ in range(count):
        result.append(pos)
        n, e, c = struct.unpack_from("<HHH", blob, pos + 28)
        pos += 46 + n + e + c
    return result


def patch(blob, offset, fmt, value):
    b = bytearray(blob)
    struct.pack_into(fmt, b, offset, value)
    return bytes(b)


def local_of(blob, central):
    return struct.unpack_from("<I", blob, central + 42)[0]


def ut(flags, *times):
    body = struct.pack("<B", flags) + b"".join(struct.pack("<I", t) for t in times)
    return struct.pack("<HH", 0x5455, len(body)) + body


def ux(tag, atime, mtime):
    return struct.pack("<HHII", tag, 8, atime, mtime)


def stored():
    return build([
        ("readme.txt", b"Orvandel test archive\r\n" * 20),
        (info("dir/"), b""),
        ("dir/data.bin", data(1, 100000)),
        ("dir/sub/empty.txt", b""),
        ("exact64k.bin", data(2, 65536)),
    ])


def siblings():
    """Folders whose names start alike: "dirs" is entered before "dir"."""
    return build([
        ("dirs/one.txt", b"one"),
        ("dir/two.txt", b"two"),
        ("dir/sub/three.txt", b"three"),
        ("dirs/four.txt", b"four"),
    ])


def adjusted(prefix, blob, gap=b""):
    """Offsets counted from the start of the whole file (what a package builder writes); a
    gap between the central directory and the end record makes them look unadjusted."""
    b = bytearray(blob)
    for c in central_entries(blob):
        struct.pack_into("<I", b, c + 42, local_of(blob, c) + len(prefix))
    pos, _, _, offset = endrecord(blob)
    struct.pack_into("<I", b, pos + 16, offset + len(prefix))
    return prefix + bytes(b[:pos]) + gap + bytes(b[pos:])


def times():
    jan = 1577880000  # 2020-01-01 12:00:00 UTC
    large = info("large.txt", extra=ut(3, jan + 400, jan + 500), attr=0x21, system=0)
    large.compress_type = zipfile.ZIP_DEFLATED
    members = [
        (info("nodos.txt"), b"dos time only"),
        (info("utall.txt", extra=ut(7, jan, jan + 100, jan + 200)), b"all three"),
        (info("utaccess.txt", extra=ut(2, jan + 100)), b"access only"),
        (info("utneg2020.txt", extra=ut(1, 0x80000010)), b"sign refused"),
        (info("utneg2038.txt", (2038, 6, 1, 12, 0, 0), ut(7, 0x80001000, 0x80002000, 0x80003000)),
         b"after 2038"),
        (info("utthenux.txt", extra=ut(1, jan) + ux(0x5855, jan + 7, jan + 9)), b"ut wins"),
        (info("uxfirst.txt", extra=struct.pack("<HHHH", 0x7855, 4, 1000, 1000) +
              ux(0x5855, jan + 7, jan + 9)), b"7855 first"),
        (info("uxonly.txt", extra=ux(0x5855, jan + 7, jan + 9)), b"5855 only"),
        (info("unix000d.txt", extra=ux(0x000D, jan + 11, jan + 13)), b"000d"),
        (info("overrun.txt", extra=ut(1, jan + 300) + struct.pack("<HH", 0x5855, 40) + b"x" * 8),
         b"overrun"),
        (info("readonly.txt", extra=ut(3, jan, jan), attr=0x21, system=0), b"attributes 0x21"),
        # Longer than the output window: presized, written in several flushes and cut back
        # before its times are set.
        (large, large_content()),
    ]
    return build(members)


def large_content():
    return b"".join(b"line %06d of a member written in several flushes\n" % i for i in range(5000))


def many():
    return build([(f"many/f{i:03}.txt", f"member {i}\n".encode() * (i % 7 + 1)) for i in range(150)])


def descriptor():
    """Data descriptors (general flag bit 3): zipfile writes them to an unseekable stream."""
    class Unseekable(io.RawIOBase):
        def __init__(self):
            self.buf = bytearray()

        def writable(self):
            return True

        def write(self, b):
            self.buf += b
            return len(b)

    sink = Unseekable()
    with zipfile.ZipFile(sink, "w", zipfile.ZIP_STORED) as z:
        z.writestr(info("desc.txt"), b"data descriptor member\n" * 50)
        z.writestr(info("desc2.bin"), data(3, 9000))
    return bytes(sink.buf)


def faulty():
    base = build([("first.txt", b"first\n"), ("second.txt", b"second\n" * 3),
                  ("third.txt", b"third\n" * 5), ("fourth.txt", b"fourth\n")])
    entries = central_entries(base)
    # Wrong CRC of second.txt in both headers.
    bad = patch(base, entries[1] + 16, "<I", 0x12345678)
    save("badcrc.zip", patch(bad, local_of(base, entries[1]) + 14, "<I", 0x12345678))
    # Method 12 for second.txt in both headers.
    m12 = patch(base, entries[1] + 10, "<H", 12)
    save("method12.zip", patch(m12, local_of(base, entries[1]) + 8, "<H", 12))
    # Version needed 4.5 for third.txt.
    save("version45.zip", patch(base, entries[2] + 6, "<H", 45))
    # Version 3.0 needed on host byte 2 for third.txt: the user is asked.
    save("versionhost2.zip", patch(base, entries[2] + 6, "<H", 0x021E))
    # A foreign signature in place of the third central header.
    save("foreignsig.zip", patch(base, entries[2], "<I", 0x08074B50))
    # The last central name claims 65,535 bytes and runs past the end of the file.
    save("cutcentral.zip", patch(base, entries[3] + 28, "<H", 0xFFFF))
    # Offsets in the central directory point before the start of the file.
    save("badoffset.zip", patch(base, entries[0] + 42, "<I", 0xFFFFFF00))


def names():
    save("semicolon.zip", build([(n, n.encode()) for n in
                                 ["notes.txt;12", "file;", "notes;b2", "a;b", "ver;1/x.txt"]]))
    save("devices.zip", build([(n, n.encode()) for n in
                               ["con", "nul.txt", "aux/readme", "com1.log", "LPT1", "Prn.tar.gz",
                                "dir/nul", "console.txt", "com10.txt"]]))
    save("chars.zip", build([(n, n.encode()) for n in
                             ["what?.txt", "a:b", "x|y", "tab\tname.txt", "q\"uote<>*.txt",
                              "my file.txt", "a/./b.txt", "./x.txt", "dir\\sub\\back.txt"]]))
    long = "longdir/" + "n" * 200 + "/" + "f" * 88 + ".txt"
    save("longname.zip", build([(long, b"long name"), ("after.txt", b"after")]))
    # Names of exactly 259 bytes (the longest kept whole) and 260 (the shortest cut).
    for length in (259, 260):
        edge = "d" * 100 + "/" + "f" * (length - 101)
        save("name%d.zip" % length, build([(edge, b"edge")]))
    # A name of 256 bytes: below the engine's 259, above what Linux file systems take.
    save("toolong.zip", build([("x" * 252 + ".txt", b"long"), ("after.txt", b"after")]))
    save("volume83.zip", build([("Programs_and_Tools/readme.first.txt", b"8.3"),
                                (".profile", b"p"), ("my file.txt", b"space")]))


TRAVERSAL = [
    "../evil01.txt", "..\\evil02.txt", "../../evil03.txt", "..\\..\\evil04.txt",
    "a/../../evil05.txt", "a\\..\\..\\evil06.txt", "..\\/evil07.txt", "./..\\evil08.txt",
    "/abs09.txt", "\\abs10.txt", "//abs11.txt", "C:\\evil12.txt", "C:evil13.txt",
    "\\\\server\\share\\evil14.txt", "....\\evil15.txt", "x/ ..\\evil16.txt", ".../evil17.txt",
    "C:/evil18.txt", "..", ".", "...", "\x01\x02", "sub/\x05\x06", "..\\", "../", "..\\..\\",
    "con", "nul.txt", "aux\\evil19.txt", "com1", "lpt1.txt", "ok/../../../../../../evil20.txt",
    "..\\../..\\../tmp/evil21.txt", ". ./evil22.txt",
]


def patch_name(blob, index, old, new):
    """Replaces bytes of member `index`'s name in its central header, its local header or
    both (old and new of the same length), leaving its data and CRC alone."""
    b = bytearray(blob)
    central = central_entries(blob)[index]
    n = struct.unpack_from("<H", blob, central + 28)[0]
    local = local_of(blob, central)
    for start in (central + 46, local + 30):
        field = bytes(b[start:start + n])
        if old in field:
            b[start:start + n] = field.replace(old, new)
    return bytes(b)


def patch_local_name(blob, index, new):
    """Gives member `index` another local name of the same length; the central one stays."""
    b = bytearray(blob)
    local = local_of(blob, central_entries(blob)[index])
    n = struct.unpack_from("<H", blob, local + 26)[0]
    assert len(new) == n
    b[local + 30:local + 30 + n] = new
    return bytes(b)


def untrusted():
    """Archives that lie: names, sizes and counts that disagree, and reserved device names
    in code page 1252."""
    base = build([("first.txt", b"first\n"), ("shown.txt", b"the listed member\n"),
                  ("third.txt", b"third\n" * 5)])
    entries = central_entries(base)
    # The local header of shown.txt names other.txt: the listing and the disk would differ.
    save("localname.zip", patch_local_name(base, 1, b"other.txt"))
    # Only the separator differs between the two names: the same path, extracted.
    slashes = build([("dir/a.txt", b"slash\n")])
    save("localslash.zip", patch_local_name(slashes, 0, b"dir\\a.txt"))
    # shown.txt claims 1 MiB of compressed data in both headers (stored sizes agree): its
    # data would run through the central directory.
    big = patch(base, entries[1] + 20, "<I", 0x100000)
    big = patch(big, entries[1] + 24, "<I", 0x100000)
    big = patch(big, local_of(base, entries[1]) + 18, "<I", 0x100000)
    save("datapast.zip", patch(big, local_of(base, entries[1]) + 22, "<I", 0x100000))
    # The last member's data ends exactly where the central directory begins (base itself
    # is that edge); here third.txt claims one byte more in both headers, all its sizes.
    third = len(b"third\n" * 5) + 1
    one = base
    for field in (20, 24):
        one = patch(one, entries[2] + field, "<I", third)
    for field in (18, 22):
        one = patch(one, local_of(base, entries[2]) + field, "<I", third)
    save("datapastone.zip", one)
    # shown.txt says it decodes to one byte more than it holds, in both headers.
    size = len(b"the listed member\n")
    more = patch(base, entries[1] + 24, "<I", size + 1)
    save("sizemore.zip", patch(more, local_of(base, entries[1]) + 22, "<I", size + 1))
    # The end record's comment length is 100 but only 99 bytes follow: a cut download.
    pos = endrecord(base)[0]
    save("commentcut.zip", patch(base, pos + 20, "<H", 100) + b"c" * 99)
    # A comment of 100 bytes that is all there: the edge of the check above.
    save("commentwhole.zip", patch(base, pos + 20, "<H", 100) + b"c" * 100)
    # Entries on this disk 2, entries in total 3.
    save("entrycounts.zip", patch(base, pos + 8, "<H", 2))
    # The central directory claims 1,000 bytes more than it has: it would end past the end
    # of the file.
    _, _, csize, _ = endrecord(base)
    save("centralpast.zip", patch(base, pos + 12, "<I", csize + 1000))

    devices = ["COM0", "lpt0.txt", "COM!", "com@.log", "COM#", "LPT!", "lpt@.txt", "LPT#",
               "COM!0", "xCOM!", "COM0x"]
    blob = build([(n, b"device") for n in devices])
    # Placeholders become the superscript digits of code page 1252: ! -> 0xB9 (one),
    # @ -> 0xB2 (two), # -> 0xB3 (three).
    for i in range(len(devices)):
        for old, new in ((b"!", b"\xb9"), (b"@", b"\xb2"), (b"#", b"\xb3")):
            blob = patch_name(blob, i, old, new)
    save("devices1252.zip", blob)

    save("controlnames.zip", build([("esc\x1b[31mred.txt", b"escape"), ("bell\x07.txt", b"bell"),
                                    ("csi\x9d.txt", b"c1")]))


def traversal():
    save("traversal.zip", build([(n, b"payload " + n.encode("latin-1", "replace"))
                                 for n in TRAVERSAL]))


def prefixes():
    base = stored()
    junk = data(9, 5000)
    save("prefixed.zip", junk + base)
    save("package_adjusted.zip", adjusted(junk, base))
    save("adjusted_gap.zip", adjusted(junk, base, gap=b"\0" * 100))
    # The end record's signature straddles an 8,192-byte boundary (bytes 8190..8193).
    small = build([("s.txt", b"straddle")])
    pad = (8190 - (len(small) - 22)) % 8192
    save("straddle.zip", data(10, pad) + small)
    # The signature starts 3, 2, 1 and 0 bytes before the boundary: the hold area behind the
    # earlier block supplies 1, 2, 3 bytes, or the later block holds it whole.
    for start in (8189, 8190, 8191, 8192):
        pad = (start - (len(small) - 22)) % 8192
        save("endsig%d.zip" % start, data(10, pad) + small)
    comment = build([("c.txt", b"comment")])
    b = bytearray(comment)
    struct.pack_into("<H", b, len(b) - 2, 65535)
    save("longcomment.zip", bytes(b) + b"c" * 65535)
    save("empty.zip", build([]))
    save("notzip.bin", data(11, 8193))


def lzma_members():
    """LZMA members of Python's zipfile (end marker, bit 1) and three damaged copies: a
    property byte past 224, sizes that make the dictionary buffer 70,000,000 bytes (above the
    64 MiB limit), and a stream cut 10 bytes short by its stated compressed size."""
    buf = io.BytesIO()
    with zipfile.ZipFile(buf, "w") as z:
        for name, content in (("text.txt", b"lzma text\n" * 3000), ("blob.bin", data(12, 100000))):
            zi = info(name)
            zi.compress_type = zipfile.ZIP_LZMA
            z.writestr(zi, content)
    good = buf.getvalue()
    save("python_lzma.zip", good)
    central = central_entries(good)[0]
    local = local_of(good, central)
    names = struct.unpack_from("<HH", good, local + 26)
    stream = local + 30 + names[0] + names[1]
    save("lzma_badprops.zip", patch(good, stream + 4, "<B", 225))
    big = patch(patch(good, stream + 5, "<I", 0xFFFFFFFF), central + 24, "<I", 70000000)
    save("lzma_bigdict.zip", patch(big, local + 22, "<I", 70000000))
    packed = struct.unpack_from("<I", good, central + 20)[0]
    cut = patch(good, central + 20, "<I", packed - 10)
    save("lzma_cut.zip", patch(cut, local + 18, "<I", packed - 10))


def external(workdir):
    """Archives from 7-Zip and bsdtar over one folder tree."""
    tree = os.path.join(workdir, "tree")
    os.makedirs(os.path.join(tree, "docs", "deep"))
    with open(os.path.join(tree, "docs", "guide.txt"), "wb") as f:
        f.write(b"guide\n" * 400)
    with open(os.path.join(tree, "docs", "deep", "blob.bin"), "wb") as f:
        f.write(data(4, 200000))
    with open(os.path.join(tree, "top.txt"), "wb") as f:
        f.write(b"top\n")

    def run(command):
        subprocess.run(command, cwd=tree, check=True, stdout=subprocess.DEVNULL)

    def target(name):
        path = os.path.abspath(os.path.join(OUT, name))
        if os.path.exists(path):
            os.remove(path)
        return path

    run(["7zz", "a", "-tzip", "-mx=0", target("sevenzip_stored.zip"), "."])
    run(["7zz", "a", "-tzip", "-mm=Deflate", "-mx=9", target("sevenzip_deflate.zip"), "."])
    run(["7zz", "a", "-tzip", "-mm=Deflate64", "-mx=9", target("sevenzip_deflate64.zip"), "."])
    run(["7zz", "a", "-tzip", "-mm=LZMA", "-mx=9", target("sevenzip_lzma.zip"), "."])
    run(["bsdtar", "--format", "zip", "--options", "zip:compression=store", "-cf",
         target("bsdtar_stored.zip"), "."])

UNICODE_NAMES = ["caf\u00e9.txt", "Gr\u00fc\u00dfe/stra\u00dfe.txt", "\u03b1\u03b2\u03b3.txt",
                 "\u043a\u0438\u0440\u0438\u043b\u043b\u0438\u0446\u0430.txt",
                 "\u65e5\u672c\u8a9e/\u6587\u66f8.txt"]


def unicodepath(utf8, raw):
    """An Info-ZIP Unicode path extra field (0x7075, version 1) for a stored name raw."""
    data = struct.pack("<BI", 1, zlib.crc32(raw)) + utf8
    return struct.pack("<HH", 0x7075, len(data)) + data


def set_utf8_flag(blob, index, on, central_too=True):
    """Sets or clears general purpose bit 11 of member `index` in its local header and,
    unless told otherwise, in its central one."""
    b = bytearray(blob)
    central = central_entries(blob)[index]
    for at in ((central + 8,) if central_too else ()) + (local_of(blob, central) + 6,):
        flags = struct.unpack_from("<H", b, at)[0]
        struct.pack_into("<H", b, at, (flags | 0x800) if on else (flags & ~0x800))
    return bytes(b)


def unicode_names(workdir):
    """UTF-8 names from Python's zipfile (bit 11), 7-Zip, bsdtar and the Info-ZIP Unicode
    path field; invalid UTF-8 made by byte patches; a DOS-host name at the length limit."""
    save("python_utf8.zip", build([(n, n.encode()) for n in UNICODE_NAMES]))
    # The first member's local header says its name is not UTF-8, the central one says it is;
    # its byte 0xE9 is "e acute" in code page 1252 but not UTF-8, so the two readings differ.
    blob = build([("cafX.txt", b"latin1")] + [(n, n.encode()) for n in UNICODE_NAMES[1:]])
    blob = set_utf8_flag(patch_name(blob, 0, b"cafX.txt", b"caf\xe9.txt"), 0, True)
    save("utf8localflag.zip", set_utf8_flag(blob, 0, False, central_too=False))
    tree = os.path.join(workdir, "unicode")
    for n in UNICODE_NAMES:
        os.makedirs(os.path.dirname(os.path.join(tree, n)), exist_ok=True)
        with open(os.path.join(tree, n), "wb") as f:
            f.write(n.encode())
    for name, command in (("sevenzip_utf8.zip", ["7zz", "a", "-tzip", "-mcu=on", "-mx=0"]),
                          ("bsdtar_utf8.zip", ["bsdtar", "--format", "zip", "-cf"])):
        path = os.path.abspath(os.path.join(OUT, name))
        if os.path.exists(path):
            os.remove(path)
        subprocess.run(command + [path, "."], cwd=tree, check=True, stdout=subprocess.DEVNULL)
    # Info-ZIP's form: the name in a legacy code page, its UTF-8 form in a 0x7075 field.
    # Placeholders of the same length are patched to the stored bytes afterwards.
    members = [
        ("cafX.txt", b"caf\xe9.txt", unicodepath("caf\u00e9.txt".encode(), b"caf\xe9.txt")),
        ("XXX.txt", b"???.txt", unicodepath("\u03b1\u03b2\u03b3.txt".encode(), b"???.txt")),
        ("plain.txt", b"plain.txt", unicodepath(b"other.txt", b"another")),
        ("ver2.txt", b"ver2.txt", unicodepath(b"wrong.txt", b"ver2.txt")[:4] + b"\x02" +
         unicodepath(b"wrong.txt", b"ver2.txt")[5:]),
        ("dots.txt", b"dots.txt", unicodepath(b"../../escaped.txt", b"dots.txt")),
    ]
    blob = build([(info(p, extra=e), raw) for p, raw, e in members])
    for i, (p, raw, _) in enumerate(members):
        if p.encode() != raw:
            blob = patch_name(blob, i, p.encode(), raw)
    save("infozip_unicode.zip", blob)
    # Info-ZIP zip on Linux stores the file system's UTF-8 bytes from a Unix host with neither
    # bit 11 nor a 0x7075 field; the last name holds a Latin-1 byte that is not UTF-8.
    unmarked = [(n, n.encode()) for n in UNICODE_NAMES] + [("old-latin1.txt", b"old-latin\xe9.txt")]
    blob = build([(info("X" * len(raw)), raw) for _, raw in unmarked])
    for i, (_, raw) in enumerate(unmarked):
        blob = patch_name(blob, i, b"X" * len(raw), raw)
    save("unix_unmarked.zip", blob)
    # Flagged names whose bytes are not valid UTF-8, and traversal spelled with overlong
    # forms and look-alikes.
    bad = [
        (b"badX.txt", b"bad\xff.txt"),
        (b"cutXX", b"cut\xe2\x82"),
        (b"aXXb.txt", b"a\xc0\xafb.txt"),
        (b"XXXX/XXXX/evil1.txt", b"\xc0\xae\xc0\xae/\xc0\xae\xc0\xae/evil1.txt"),
        (b"XXXXXXXXXevil2.txt", b"\xe0\x80\xae\xe0\x80\xae\xe0\x80\xafevil2.txt"),
        (b"sXXX.txt", b"s\xed\xa0\x80.txt"),
        (b"XXXXXXXXXevil3.txt", b"\xef\xbc\x8e\xef\xbc\x8e\xef\xbc\x8fevil3.txt"),
        (b"XXXXx.txt", b"\xf4\x90\x80\x80x.txt"),
    ]
    blob = build([(p.decode(), raw) for p, raw in bad])
    for i, (p, raw) in enumerate(bad):
        blob = set_utf8_flag(patch_name(blob, i, p, raw), i, True)
    save("utf8bad.zip", blob)
    # 259 bytes of a DOS host's name, most of them OEM box characters that become three
    # bytes of UTF-8 each: the longest stored name at the engine's largest growth.
    edge = "\u2591" * 60 + "/" + "\u2591" * 60 + "/" + "x" * 137
    placeholder = edge.replace("\u2591", "X")
    blob = build([(info(placeholder, system=0), b"oem edge")])
    blob = patch_name(blob, 0, placeholder.encode(), edge.encode("cp437"))
    save("oem259.zip", blob)


def unix_modes(workdir):
    """bsdtar over a tree with execute, set-user-id and read-only modes, a symbolic link and
    folders with stored times."""
    tree = os.path.join(workdir, "modes")
    os.makedirs(os.path.join(tree, "bin", "inner"))
    for name, mode in (("bin/run.sh", 0o755), ("bin/setuid", 0o4755), ("bin/inner/ro.txt", 0o444),
                       ("plain.txt", 0o644)):
        with open(os.path.join(tree, name), "wb") as f:
            f.write(name.encode())
        os.chmod(os.path.join(tree, name), mode)
    os.symlink("/etc/passwd", os.path.join(tree, "bin", "link"))
    os.utime(os.path.join(tree, "bin", "inner"), (1500000000, 1500000000))
    os.utime(os.path.join(tree, "bin"), (1400000000, 1400000000))
    path = os.path.abspath(os.path.join(OUT, "unix_modes.zip"))
    if os.path.exists(path):
        os.remove(path)
    subprocess.run(["bsdtar", "--format", "zip", "-cf", path, "bin", "plain.txt"], cwd=tree,
                   check=True)


# Archives with traditional PKWARE encryption are committed in encrypted/ rather than made
# at build time: their 12-byte encryption headers are random, and a wrong password passes
# the one-byte check with a chance of 1 in 256, which would make the tests that try wrong
# passwords fail now and then. They were made over the tree of external() with:
#   7zz a -tzip -mem=ZipCrypto -pSTOCK-PW -mx=0 enc_stock.zip top.txt docs/guide.txt
#   7zz a -tzip -mem=ZipCrypto -psecret -mx=5 enc_secret.zip top.txt docs
#   7zz a -tzip -mem=ZipCrypto -pone -mx=0 enc_mixed.zip top.txt
#   7zz a -tzip -mem=ZipCrypto -ptwo -mx=0 enc_mixed.zip docs/guide.txt
#   bsdtar --format zip --options zip:encryption=traditional --passphrase $'\x82' \
#       -cf enc_oem.zip top.txt docs/guide.txt
#   bsdtar --format zip --options zip:encryption=traditional --passphrase $'\xe9' \
#       -cf enc_ansi.zip top.txt docs/guide.txt
# Long passwords, the first 80, 81 and all 200 characters of one text LONG, which the tests
# rebuild with the same formula:
#   LONG=$(python3 -c "print(''.join('abcdefghijklmnopqrstuvwxyz0123456789'[(i*7 + i//36) % 36]
#                                     for i in range(200)))")
#   for n in 80 81 200; do 7zz a -tzip -mem=ZipCrypto -p"${LONG:0:$n}" -mx=0 enc_long$n.zip top.txt; done
# Passwords hashed as their UTF-8 bytes, as Linux zip writers do (the second has no form in
# code page 1252 at all):
#   bsdtar --format zip --options zip:encryption=zipcrypt --passphrase 'pässwörd€' \
#       -cf enc_utf8.zip top.txt
#   bsdtar --format zip --options zip:encryption=zipcrypt --passphrase 'пароль' \
#       -cf enc_cyrillic.zip top.txt
# bsdtar takes the password as raw bytes and writes a data descriptor behind every member,
# so the check byte of those two comes from the member's time, not its CRC. Their password
# is "\u00e9" (e acute) in code page 437 (byte 0x82) and in code page 1252 (byte 0xE9).
def shiftjis():
    """Names from a Japanese Windows machine (host FAT, no flags): code page 932 bytes whose
    second byte of a character is 0x5C, the byte of a backslash. Read in that code page, each
    is one character and no separator."""
    members = [(b"\x95\x5c.txt", b"hyou\n"), (b"dir/\x83\x5c\x83\x74\x83\x67.txt", b"sofuto\n")]
    blob = build([(info("X" * len(raw), system=0), content) for raw, content in members])
    for i, (raw, _) in enumerate(members):
        blob = patch_name(blob, i, b"X" * len(raw), raw)
    save("shiftjis.zip", blob)


def presized():
    """Files on both sides of the length from which output files are given their length
    before they are written (one 65,536-byte window), and members whose stored length is
    wrong on either side of it: each file must end up exactly as long as its decoded data."""
    def deflated(name, content):
        zi = info(name)
        zi.compress_type = zipfile.ZIP_DEFLATED
        return zi, content
    text = b"".join(b"line %06d of a file on the edge\n" % i for i in range(5000))
    members = [deflated("window.bin", text[:65536]), deflated("window1.bin", text[:65537]),
               deflated("claimsmore.bin", text[:70000]), deflated("claimsless.bin", text[:70000])]
    blob = build(members)
    entries = central_entries(blob)
    for index, claimed in ((2, 200000), (3, 60000)):
        blob = patch(blob, entries[index] + 24, "<I", claimed)
        blob = patch(blob, local_of(blob, entries[index]) + 22, "<I", claimed)
    save("presized.zip", blob)


def encrypted():
    source = os.path.join(os.path.dirname(os.path.abspath(__file__)), "encrypted")
    for name in sorted(os.listdir(source)):
        shutil.copyfile(os.path.join(source, name), os.path.join(OUT, name))


def main():
    os.makedirs(OUT, exist_ok=True)
    save("stored.zip", stored())
    save("siblings.zip", siblings())
    save("times.zip", times())
    save("many.zip", many())
    save("descriptor.zip", descriptor())
    faulty()
    names()
    traversal()
    untrusted()
    prefixes()
    encrypted()
    shiftjis()
    presized()
    lzma_members()
    work = tempfile.mkdtemp()
    try:
        external(work)
        unicode_names(work)
        unix_modes(work)
    finally:
        shutil.rmtree(work)
    with open(os.path.join(OUT, "stamp"), "w") as f:
        f.write("ok\n")


main()
