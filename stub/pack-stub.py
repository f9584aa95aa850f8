#!/usr/bin/env python3
"""Packs the linked stub's code section: the last step of the stub's build.

    pack-stub.py --nm NM --boot-objects OBJ... -- LINKED.exe OUTPUT.exe

The linker lays the image out as stub/stub.ld says: .text (code and read-only data), .boot
(the restoring code, then room as large as .text), .idata, .bss, .rsrc, .reloc. This script
writes the same image, with the same code and data addresses, except that
  - .text keeps no bytes in the file (the loader maps zero-filled pages);
  - the room in .boot holds the packed code (stub/unpack.h): a 16-byte header, then one raw
    Deflate stream of .text with call and jump targets made absolute, followed by the
    base relocations that lie inside .text, as gaps, and by the data of the resources that
    only the running stub reads (runtime_resources());
  - those resources' data lies at the end of .bss, which grows by it, and their entries in
    the resource tree point there; .rsrc, which keeps the rest, moves up behind it;
  - the relocations outside .text follow in .boot, as the image's base relocation table:
    the loader never writes into the zero-filled pages, the image keeps its relocations and
    stays movable (ASLR), and the section .reloc, with the padding of its own 512 bytes in
    the file, is dropped;
  - the DOS program behind the DOS header is left out (headers());
  - the raw offsets, the sizes in the headers and the checksum follow.
Before packing it checks that the restoring code leaves nothing undefined but imported
functions, the linker script's marks and the stub's entry, since everything else lies in
the packed code, and that the inflated stream fits in .bss, where it is inflated.
Any check that fails stops the build with the reason.
"""
import argparse
import os
import struct
import subprocess
import sys
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "cmake"))
import strongest  # noqa: E402  (the build's shared compressor)

FILE_RELOCS_STRIPPED = 0x0001
DOS_HEADER = 64
DOS_LFANEW = 0x3C
DIRECTORY_RESOURCES = 2
DIRECTORY_RELOCATIONS = 5
RELOC_HIGHLOW = 3
RELOC_ABSOLUTE = 0
SECTION_CODE = 0x20
SECTION_INITIALIZED = 0x40
LONG_GAP_MARK = 0xFF
LONG_GAP_LIMIT = 0x10000
CALL, JUMP = 0xE8, 0xE9
RESOURCE_NAMED = 0x80000000
RESOURCE_DIRECTORY, RESOURCE_ENTRY, RESOURCE_DATA_ENTRY = 16, 8, 16
RESOURCE_ALIGNMENT = 8
RT_CURSOR, RT_ICON, RT_DIALOG, RT_RCDATA, RT_GROUP_CURSOR, RT_GROUP_ICON = 1, 3, 5, 10, 12, 14
GROUP_HEADER, GROUP_ENTRY, GROUP_ENTRY_ID = 6, 14, 12
# What only the running stub reads: its dialogs, the legal page, the link cursor and the
# images of every icon but the package's, which the shell shows for the file.
RUNTIME_TYPES = {RT_CURSOR, RT_DIALOG, RT_RCDATA, RT_GROUP_CURSOR}
SHELL_ICON = "MNICON"
# The symbols the restoring code may leave to others: the linker script's marks and the
# entry of the unpacked stub. Imported functions are called through __imp_ pointers.
BOOT_EXTERNALS = {"__code_start__", "__code_end__", "__bss_start__", "__bss_end__",
                  "__packed_code__", "_sfxentry"}


class PackError(Exception):
    pass


def u16(b, at):
    return struct.unpack_from("<H", b, at)[0]


def u32(b, at):
    return struct.unpack_from("<I", b, at)[0]


def align(value, to):
    return (value + to - 1) // to * to


class Section:
    FIELDS = "<8sIIIIIIHHI"

    def __init__(self, raw):
        (name, self.vsize, self.va, self.rawsize, self.rawoffset, self.relocs, self.lines,
         self.nrelocs, self.nlines, self.flags) = struct.unpack(self.FIELDS, raw)
        self.name = name.rstrip(b"\0").decode()

    def pack(self):
        return struct.pack(self.FIELDS, self.name.encode(), self.vsize, self.va, self.rawsize,
                           self.rawoffset, self.relocs, self.lines, self.nrelocs, self.nlines,
                           self.flags)


class Image:
    def __init__(self, data):
        self.data = bytearray(data)
        self.pe = u32(data, 0x3C)
        if data[self.pe:self.pe + 4] != b"PE\0\0" or u16(data, self.pe + 24) != 0x10B:
            raise PackError("not a PE32 image")
        self.optional = self.pe + 24
        count = u16(data, self.pe + 6)
        self.table = self.optional + u16(data, self.pe + 20)
        self.sections = [Section(data[self.table + 40 * i:self.table + 40 * i + 40])
                         for i in range(count)]
        self.imagebase = u32(data, self.optional + 28)
        self.filealign = u32(data, self.optional + 36)
        self.sectionalign = u32(data, self.optional + 32)

    def section(self, name):
        found = [s for s in self.sections if s.name == name]
        if len(found) != 1:
            raise PackError("the linked image has no single section " + name)
        return found[0]

    def bytes_of(self, s):
        raw = bytes(self.data[s.rawoffset:s.rawoffset + min(s.rawsize, s.vsize)])
        return raw + bytes(s.vsize - len(raw))

    def directory(self, k):
        at = self.optional + 96 + 8 * k
        return u32(self.data, at), u32(self.data, at + 4)


def relocations(block):
    """The HIGHLOW relocations of a base relocation table, as RVAs."""
    found, at = [], 0
    while at + 8 <= len(block):
        page, size = u32(block, at), u32(block, at + 4)
        if size < 8 or at + size > len(block):
            raise PackError("damaged base relocation block")
        for entry in struct.unpack_from("<%dH" % ((size - 8) // 2), block, at + 8):
            kind = entry >> 12
            if kind == RELOC_HIGHLOW:
                found.append(page + (entry & 0xFFF))
            elif kind != RELOC_ABSOLUTE:
                raise PackError("base relocation of type %d" % kind)
        at += size
    return found


def relocation_table(rvas):
    """A base relocation table: one block per 4 KiB page, each a multiple of 4 bytes."""
    table, pages = bytearray(), {}
    for rva in sorted(rvas):
        pages.setdefault(rva & ~0xFFF, []).append(rva & 0xFFF)
    for page, offsets in sorted(pages.items()):
        entries = [RELOC_HIGHLOW << 12 | o for o in offsets]
        if len(entries) % 2:
            entries.append(RELOC_ABSOLUTE << 12)
        table += struct.pack("<II%dH" % len(entries), page, 8 + 2 * len(entries), *entries)
    return bytes(table)


def absolute_targets(code):
    """Call and jump targets made absolute; stub/unpack.cpp restorecode undoes it."""
    code, i = bytearray(code), 0
    while i < len(code):
        op = code[i]
        i += 1
        if op in (CALL, JUMP) and len(code) - i >= 4:
            struct.pack_into("<I", code, i, (u32(code, i) + i + 4) & 0xFFFFFFFF)
            i += 4
    return bytes(code)


def gaps(offsets):
    out, previous = bytearray(), 0
    for offset in offsets:
        gap = offset - previous
        previous = offset
        if gap < LONG_GAP_MARK:
            out.append(gap)
        elif gap < LONG_GAP_LIMIT:
            out += struct.pack("<BH", LONG_GAP_MARK, gap)
        else:
            raise PackError("two relocations lie %d bytes apart" % gap)
    return bytes(out)


def deflate(data):
    """Raw Deflate at libdeflate's strongest level; zlib checks the result."""
    return strongest.compress(data, "deflate")


class ResourceTree:
    """The data entries of a resource section, each as (type, name, offset of the entry),
    a type or name being a number or a string; and where the tree's own directories,
    entries and names end."""

    def __init__(self, section):
        self.section = section
        self.entries = []
        self.end = 0
        self.walk(0, [])

    def key(self, field):
        if not field & RESOURCE_NAMED:
            return field
        at = field & ~RESOURCE_NAMED
        end = at + 2 + 2 * u16(self.section, at)
        self.end = max(self.end, end)
        return bytes(self.section[at + 2:end]).decode("utf-16-le")

    def walk(self, at, path):
        count = u16(self.section, at + 12) + u16(self.section, at + 14)
        self.end = max(self.end, at + RESOURCE_DIRECTORY + RESOURCE_ENTRY * count)
        for i in range(count):
            name, target = struct.unpack_from("<II", self.section,
                                              at + RESOURCE_DIRECTORY + RESOURCE_ENTRY * i)
            key = self.key(name)
            if bool(target & RESOURCE_NAMED) != (len(path) < 2):
                raise PackError("the resource tree does not have three levels")
            if target & RESOURCE_NAMED:
                self.walk(target & ~RESOURCE_NAMED, path + [key])
            else:
                self.end = max(self.end, target + RESOURCE_DATA_ENTRY)
                self.entries.append((path[0], path[1], target))

    def data(self, entry, section_va):
        rva, size = struct.unpack_from("<II", self.section, entry)
        if not 0 <= rva - section_va <= len(self.section) - size:
            raise PackError("resource data lies outside .rsrc")
        return bytes(self.section[rva - section_va:rva - section_va + size])


def runtime_resources(tree, section_va):
    """The data entries of the resources that only the running stub reads."""
    shell_icons = set()
    for kind, name, entry in tree.entries:
        if kind == RT_GROUP_ICON and name == SHELL_ICON:
            group = tree.data(entry, section_va)
            shell_icons |= {u16(group, GROUP_HEADER + GROUP_ENTRY * i + GROUP_ENTRY_ID)
                            for i in range(u16(group, 4))}
    if not shell_icons:
        raise PackError("the resources have no icon group " + SHELL_ICON)
    return {entry for kind, name, entry in tree.entries
            if kind in RUNTIME_TYPES or (kind == RT_ICON and name not in shell_icons)}


def move_runtime_resources(image, rsrc, bss):
    """Takes the runtime resources' data out of .rsrc, to follow the packed code in the stream
    and be inflated behind the end of .bss, which grows to hold it; .rsrc keeps its tree and
    the other resources' data and moves up behind .bss where it has to. Returns the moved
    data and the new .rsrc."""
    tree = ResourceTree(bytearray(image.bytes_of(rsrc)))
    moved = runtime_resources(tree, rsrc.va)
    if bss.vsize % RESOURCE_ALIGNMENT:
        raise PackError(".bss does not end on an %d-byte boundary" % RESOURCE_ALIGNMENT)
    runtime = bytearray()
    kept = bytearray(tree.section[:align(tree.end, RESOURCE_ALIGNMENT)])
    placed = []
    for kind, name, entry in tree.entries:
        into = runtime if entry in moved else kept
        into += bytes(align(len(into), RESOURCE_ALIGNMENT) - len(into))
        placed.append((entry, entry in moved, len(into)))
        into += tree.data(entry, rsrc.va)
    runtime_va = bss.va + bss.vsize
    bss.vsize += len(runtime)
    rsrc.va = max(rsrc.va, align(bss.va + bss.vsize, image.sectionalign))
    rsrc.vsize = len(kept)
    for entry, is_moved, offset in placed:
        struct.pack_into("<I", kept, entry, (runtime_va if is_moved else rsrc.va) + offset)
    return bytes(runtime), bytes(kept)


def checksum(image, field):
    """The PE checksum: 16-bit words summed with end-around carry, plus the file length."""
    data = image[:field] + b"\0\0\0\0" + image[field + 4:]
    if len(data) % 2:
        data += b"\0"
    total = 0
    for word in struct.unpack("<%dH" % (len(data) // 2), data):
        total += word
        total = (total & 0xFFFF) + (total >> 16)
    return (total & 0xFFFF) + len(image)


def symbols(nm, obj, option):
    listing = subprocess.run([nm, option, obj], check=True, capture_output=True, text=True)
    return {line.split()[-1] for line in listing.stdout.splitlines() if line.strip()}


def check_boot_objects(nm, objects):
    defined = set().union(*(symbols(nm, obj, "--defined-only") for obj in objects))
    for obj in objects:
        for name in sorted(symbols(nm, obj, "-u")):
            if not name.startswith("__imp_") and name not in BOOT_EXTERNALS | defined:
                raise PackError("%s calls %s, which lies in the packed code" % (obj, name))


def pack(image):
    code, boot, bss, rsrc, reloc = (image.section(n)
                                    for n in (".text", ".boot", ".bss", ".rsrc", ".reloc"))
    order = [s.name for s in image.sections]
    if order.index(".boot") != order.index(".text") + 1 or image.sections[-1] is not reloc:
        raise PackError("unexpected section order " + " ".join(order))
    if u16(image.data, image.pe + 22) & FILE_RELOCS_STRIPPED:
        raise PackError("the linked image has no relocations")
    if image.directory(DIRECTORY_RELOCATIONS)[0] != reloc.va:
        raise PackError("the relocation directory is not .reloc")
    if image.directory(DIRECTORY_RESOURCES)[0] != rsrc.va:
        raise PackError("the resource directory is not .rsrc")

    # The room for the packed code ends .boot and is as large as .text.
    room_at = boot.vsize - code.vsize
    if room_at < 0 or room_at % 4:
        raise PackError(".boot does not end in room for the packed code")
    rvas = relocations(image.bytes_of(reloc))
    inside = [r - code.va for r in rvas if code.va <= r < code.va + code.vsize]
    outside = [r for r in rvas if not code.va <= r < code.va + code.vsize]
    if any(r > code.vsize - 4 for r in inside):
        raise PackError("a relocation crosses the end of .text")

    restored = absolute_targets(image.bytes_of(code)) + gaps(inside)
    if len(restored) > bss.vsize:
        raise PackError("the unpacked code (%d bytes) does not fit in .bss (%d bytes)"
                        % (len(restored), bss.vsize))
    contents = {s.name: image.bytes_of(s) if s.rawsize else b"" for s in image.sections}
    contents[".text"] = b""
    runtime, contents[".rsrc"] = move_runtime_resources(image, rsrc, bss)
    unpacked = restored + runtime
    stream = deflate(unpacked)
    if zlib.decompress(stream, -15) != unpacked:
        raise PackError("the packed code does not inflate to itself")
    header = struct.pack("<IIII", image.imagebase + code.va, len(stream), len(restored),
                         len(runtime))
    if len(header) + len(stream) > code.vsize:
        raise PackError("the packed code is larger than the code")

    packed = image.bytes_of(boot)[:room_at] + header + stream
    packed += bytes(align(len(packed), 4) - len(packed))
    table = relocation_table(outside)
    contents[".boot"] = packed + table
    boot.vsize = len(contents[".boot"])
    image.sections.remove(reloc)
    directories = {DIRECTORY_RELOCATIONS: (boot.va + len(packed), len(table)),
                   DIRECTORY_RESOURCES: (rsrc.va, rsrc.vsize)}
    return contents, directories


def headers(image):
    """The DOS header, then at once the PE headers and the section table: the DOS program
    behind the DOS header (a message that the program needs Windows) is left out, so that
    the headers of five sections fit the first 512 bytes of the file."""
    dos = bytearray(image.data[:DOS_HEADER])
    struct.pack_into("<I", dos, DOS_LFANEW, DOS_HEADER)
    pe_headers = image.data[image.pe:image.table]
    table = b"".join(s.pack() for s in image.sections)
    out = dos + pe_headers + table
    return out + bytes(align(len(out), image.filealign) - len(out))


def write(image, contents, directories):
    out = headers(image)
    headers_size = len(out)
    pe = DOS_HEADER
    optional = pe + 24
    table = optional + (image.table - image.optional)
    code_size = initialized = 0
    for s in image.sections:
        body = contents[s.name]
        s.rawsize = align(len(body), image.filealign) if body else 0
        s.rawoffset = len(out) if body else 0
        out += body + bytes(s.rawsize - len(body))
        if s.flags & SECTION_CODE:
            code_size += s.rawsize
        elif s.flags & SECTION_INITIALIZED:
            initialized += s.rawsize
    out[table:table + 40 * len(image.sections)] = b"".join(s.pack() for s in image.sections)
    struct.pack_into("<H", out, pe + 6, len(image.sections))
    last = image.sections[-1]
    struct.pack_into("<I", out, optional + 4, code_size)
    struct.pack_into("<I", out, optional + 8, initialized)
    struct.pack_into("<I", out, optional + 56, align(last.va + last.vsize, image.sectionalign))
    struct.pack_into("<I", out, optional + 60, headers_size)
    for k, directory in directories.items():
        struct.pack_into("<II", out, optional + 96 + 8 * k, *directory)
    struct.pack_into("<I", out, optional + 64, checksum(out, optional + 64))
    return bytes(out)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--nm", required=True)
    parser.add_argument("--boot-objects", nargs="+", required=True)
    parser.add_argument("linked")
    parser.add_argument("output")
    args = parser.parse_args()
    try:
        check_boot_objects(args.nm, args.boot_objects)
        with open(args.linked, "rb") as f:
            image = Image(f.read())
        packed = write(image, *pack(image))
    except (PackError, OSError, subprocess.CalledProcessError) as e:
        sys.exit("pack-stub.py: %s: %s" % (args.linked, e))
    with open(args.output, "wb") as f:
        f.write(packed)


if __name__ == "__main__":
    main()
