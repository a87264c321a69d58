# Byte builders for small DIB, PNG, ICO, PE and NE files, and for hostile files (the bombs):
# files that claim far more than they hold, or that hold far more than a picture needs.
#
# Pictures are lists of 0xAARRGGBB pixels, top-down; masks are lists of 0 and 1, 1 where the
# screen shows through. An image is a tuple (width, height, bits, id, data): its directory entry
# (256 written as 0), its RT_ICON id in groups, and its bytes.
# usage: builders.py DIR  (writes the bombs, and a Windows folder of system_resources(), into DIR)

import struct
import sys
import zlib
from pathlib import Path

# Resource types.
RT_ICON = 3
RT_GROUP_ICON = 14
NE_RT_ICON = 0x8003
NE_RT_GROUP_ICON = 0x800E
# ICONDIR's idType.
ICON = 1
CURSOR = 2

# Where pe() puts things: the PE header at e_lfanew, the optional header after the file header,
# the section table after the optional header, the resource section mapped at RVA.
E_LFANEW = 0x3C
PE_HEADER = 0x40
FILE_HEADER = PE_HEADER + 4
OPTIONAL_HEADER = FILE_HEADER + 20
OPTIONAL_HEADER_SIZE = 224
# DataDirectory[2], of 8 bytes each
RESOURCE_DATA_DIRECTORY = OPTIONAL_HEADER + 96 + 2 * 8
SECTION_TABLE = OPTIONAL_HEADER + OPTIONAL_HEADER_SIZE
SECTION_HEADER_SIZE = 40
FILE_ALIGNMENT = 0x200
RVA = 0x1000
# The resource section of a pe() file without extra sections, and in it the root directory's
# first entry (a Name and an OffsetToData): RT_ICON's, when there are icons.
RESOURCE_SECTION = FILE_ALIGNMENT
ICON_TYPE_ENTRY = RESOURCE_SECTION + 16
# Where ne() puts its header, and its resource table after it: rscAlignShift, then the first
# TYPEINFO (rtTypeID, rtResourceCount).
NE_HEADER = 0x40
NE_RESOURCE_TABLE = 0x80
NE_ALIGN_SHIFT = NE_RESOURCE_TABLE
NE_FIRST_TYPE_COUNT = NE_RESOURCE_TABLE + 2 + 2
# The sizes of GRPICONDIR and of one GRPICONDIRENTRY, and GRPICONDIR's idCount; in an .ico
# file, the first ICONDIRENTRY's dwImageOffset.
GRPICONDIR_SIZE = 6
GRPICONDIRENTRY_SIZE = 14
GRPICONDIR_COUNT = 4
ICO_FIRST_OFFSET = 6 + 12


# Where a BITMAPINFOHEADER holds its fields.
class BitmapInfoHeader:
    size, width, height, bit_count, compression, colours_used = 0, 4, 8, 14, 16, 32


def le(fmt, *values):
    return struct.pack("<" + fmt, *values)


# DATA with VALUE written at AT, little-endian.
def patched(data, at, fmt, value):
    out = bytearray(data)
    struct.pack_into("<" + fmt, out, at, value)
    return bytes(out)


# An icon DIB: its header (12 for BITMAPCOREHEADER, 40 and up for BITMAPINFOHEADER and its
# later forms), the colour table of the picture's colours (indexed depths), the colour rows
# bottom-up and the AND mask (mask=False leaves it out).
def dib(pixels, w, h, bits=32, header=40, bitfields=False, alpha=True, mask=None):
    palette = []
    if bits <= 8:
        palette = list(dict.fromkeys(p & 0xFFFFFF for p in pixels))
        palette += [0] * ((1 << bits) - len(palette))
    # the height counts the mask too
    if header == 12:
        out = le("IHHHH", 12, w, 2 * h, 1, bits)
    else:
        compression = 3 if bitfields else 0
        out = le("IiiHHIIiiII", header, w, 2 * h, 1, bits, compression, 0, 0, 0, 0, 0)
        masks = (0xF800, 0x7E0, 0x1F) if bits == 16 else (0xFF0000, 0xFF00, 0xFF)
        if bitfields or header > 40:
            out += le("III", *masks) if bitfields else bytes(12)
        out = out.ljust(header, b"\0")
    entry_size = 3 if header == 12 else 4
    out += b"".join(le("I", colour)[:entry_size] for colour in palette)

    def value(p):
        r, g, b = p >> 16 & 255, p >> 8 & 255, p & 255
        if bits <= 8:
            return palette.index(p & 0xFFFFFF)
        if bits == 16 and bitfields:
            return r >> 3 << 11 | g >> 2 << 5 | b >> 3
        if bits == 16:
            return r >> 3 << 10 | g >> 3 << 5 | b >> 3
        if bits == 32 and alpha:
            return p
        return p & 0xFFFFFF

    out += rows(w, h, bits, [value(p) for p in pixels])
    if mask is False:
        return out
    return out + rows(w, h, 1, mask or [0] * (w * h))


# Rows of DEPTH-bit values, bottom-up, each padded to 32 bits; values of fewer than 8 bits
# are packed from the high bit, others stored little-endian.
def rows(w, h, depth, values):
    stride = (w * depth + 31) // 32 * 4
    out = b""
    for y in reversed(range(h)):
        row = values[y * w : (y + 1) * w]
        if depth < 8:
            packed = 0
            for v in row:
                packed = packed << depth | v
            out += (packed << (stride * 8 - w * depth)).to_bytes(stride, "big")
        else:
            out += b"".join(v.to_bytes(depth // 8, "little") for v in row).ljust(stride, b"\0")
    return out


# A PNG chunk: length, type, data and CRC.
def chunk(kind, data):
    crc = zlib.crc32(kind + data)
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", crc)


# An 8-bit PNG of the given colour type whose IDAT holds IMAGE_DATA (compressed rows, their
# filter bytes included), with chunks BEFORE and AFTER the IDAT.
def png_file(w, h, colour_type, image_data, before=b"", after=b""):
    header = struct.pack(">IIBBBBB", w, h, 8, colour_type, 0, 0, 0)
    return (
        b"\x89PNG\r\n\x1a\n"
        + chunk(b"IHDR", header)
        + before
        + chunk(b"IDAT", image_data)
        + after
        + chunk(b"IEND", b"")
    )


# An 8-bit RGBA PNG.
def png(pixels, w, h, before=b"", after=b""):
    data = b""
    for y in range(h):
        # the row's filter: none
        data += b"\0"
        for p in pixels[y * w : (y + 1) * w]:
            data += struct.pack(">I", (p << 8 | p >> 24) & 0xFFFFFFFF)
    return png_file(w, h, 6, zlib.compress(data), before, after)


# An image of one colour.
def flat(colour, w=32, h=None, bits=32, id=1, as_png=False):
    h = h or w
    if as_png:
        return (w, h, bits, id, png([colour] * w * h, w, h))
    return (w, h, bits, id, dib([colour] * w * h, w, h, bits, alpha=False))


# The fields that GRPICONDIRENTRY and ICONDIRENTRY share.
def entry(image):
    w, h, bits, _, data = image
    colours = 1 << bits if bits < 8 else 0
    return le("BBBBHHI", w & 255, h & 255, colours, 0, 1, bits, len(data))


# An .ico file: ICONDIR, an ICONDIRENTRY an image, then the images.
def ico(images, kind=ICON):
    out = le("HHH", 0, kind, len(images))
    at = 6 + 16 * len(images)
    for image in images:
        out += entry(image) + le("I", at)
        at += len(image[4])
    return out + b"".join(image[4] for image in images)


# An RT_GROUP_ICON resource: GRPICONDIR and a GRPICONDIRENTRY an image.
def group_directory(images):
    entries = b"".join(entry(i) + le("H", i[3]) for i in images)
    return le("HHH", 0, ICON, len(images)) + entries


# Resources for pe(): an RT_GROUP_ICON and its RT_ICON images, as (type, name, language,
# data).
def group(name, images, language=0):
    resources = [(RT_GROUP_ICON, name, language, group_directory(images))]
    return resources + [(RT_ICON, i[3], language, i[4]) for i in images]


# The resource tree of (type, name, language, data) resources as the platform's linkers
# store it: in each directory named entries first, in name order, then ids ascending.
def resource_tree(resources):
    tree = {}
    for kind, name, language, data in resources:
        tree.setdefault(kind, {}).setdefault(name, {})[language] = data

    def entries(node):
        if isinstance(node, bytes):
            return node
        keys = sorted(node, key=lambda k: (isinstance(k, int), k))
        return [(k, entries(node[k])) for k in keys]

    return entries(tree)


# A resource section: directories are lists of (id or name, child) with the named entries
# first; a child is a directory or the bytes of a resource. A child or name that stands in
# several places is written once, and every place points at it.
def resource_section(tree):
    section = bytearray()
    written = {}

    def name_string(name):
        if name not in written:
            written[name] = len(section)
            section.extend(le("H", len(name)) + name.encode("utf-16-le"))
            section.extend(bytes(-len(section) % 4))
        return 0x80000000 | written[name]

    def write(node):
        if id(node) in written:
            return written[id(node)]
        at = written[id(node)] = len(section)
        # IMAGE_RESOURCE_DATA_ENTRY, then the data
        if isinstance(node, bytes):
            section.extend(le("IIII", RVA + at + 16, len(node), 0, 0) + node)
            section.extend(bytes(-len(section) % 4))
            return at
        named = sum(isinstance(key, str) for key, _ in node)
        section.extend(le("IIHHHH", 0, 0, 0, 0, named, len(node) - named))
        section.extend(bytes(8 * len(node)))
        for i, (key, child) in enumerate(node):
            name = name_string(key) if isinstance(key, str) else key
            offset = write(child)
            if not isinstance(child, bytes):
                offset |= 0x80000000
            section[at + 16 + 8 * i : at + 24 + 8 * i] = le("II", name, offset)
        return at

    write(tree)
    return bytes(section)


# A PE32 image whose resource section holds RESOURCES, (type, name, language, data).
def pe(resources):
    return pe_tree(resource_tree(resources))


# A PE32 image whose resource section holds TREE (as resource_section takes it), with
# EXTRA_SECTIONS one-byte sections before it in the section table, mapped far above it.
def pe_tree(tree, extra_sections=0):
    section = resource_section(tree)
    sections = extra_sections + 1
    headers_end = SECTION_TABLE + SECTION_HEADER_SIZE * sections
    raw = headers_end + -headers_end % FILE_ALIGNMENT
    out = bytearray(raw)
    out[0:2] = b"MZ"
    struct.pack_into("<I", out, E_LFANEW, PE_HEADER)
    # "PE\0\0"
    struct.pack_into("<I", out, PE_HEADER, 0x4550)
    # Machine (i386), NumberOfSections, and at 16 SizeOfOptionalHeader and Characteristics.
    struct.pack_into("<HH", out, FILE_HEADER, 0x14C, sections)
    struct.pack_into("<HH", out, FILE_HEADER + 16, OPTIONAL_HEADER_SIZE, 0x2102)
    # PE32
    struct.pack_into("<H", out, OPTIONAL_HEADER, 0x10B)
    # NumberOfRvaAndSizes
    struct.pack_into("<I", out, OPTIONAL_HEADER + 92, 16)
    struct.pack_into("<II", out, RESOURCE_DATA_DIRECTORY, RVA, len(section))
    for i in range(extra_sections):
        at = SECTION_TABLE + SECTION_HEADER_SIZE * i
        # VirtualSize, VirtualAddress, SizeOfRawData, PointerToRawData
        struct.pack_into("<IIII", out, at + 8, 1, 0x10000000 + 0x1000 * i, 1, 0)
    at = SECTION_TABLE + SECTION_HEADER_SIZE * extra_sections
    struct.pack_into("<8sIIII", out, at, b".rsrc", len(section), RVA, len(section), raw)
    return bytes(out) + section


# A 16-bit NE module whose resource table holds one group icon, with the id NAME or the
# name NAME (bytes), and its images. Offsets and lengths count in units of 1 << SHIFT.
def ne(images, shift=4, name=1):
    unit = 1 << shift
    named = isinstance(name, bytes)
    # rscAlignShift, two TYPEINFOs with their NAMEINFOs, the ending 0, the group's name
    table = 2 + 8 + 12 + 8 + 12 * len(images) + 2 + (1 + len(name) if named else 0)
    # then an empty resident name table
    out = bytearray(NE_RESOURCE_TABLE + table + 1)
    out[0:2] = b"MZ"
    struct.pack_into("<I", out, E_LFANEW, NE_HEADER)
    out[NE_HEADER : NE_HEADER + 2] = b"NE"
    # ne_rsrctab and ne_restab, relative to the NE header.
    struct.pack_into("<HH", out, NE_HEADER + 0x24, NE_RESOURCE_TABLE - NE_HEADER, table + 0x40)
    struct.pack_into("<H", out, NE_RESOURCE_TABLE, shift)
    # the name's offset in the table: a length byte, then the characters
    if named:
        group_id = table - 1 - len(name)
        out[NE_RESOURCE_TABLE + group_id] = len(name)
        out[NE_RESOURCE_TABLE + group_id + 1 : NE_RESOURCE_TABLE + table] = name
    else:
        group_id = 0x8000 | name
    at = NE_RESOURCE_TABLE + 2
    types = [
        (NE_RT_GROUP_ICON, [(group_id, group_directory(images))]),
        (NE_RT_ICON, [(0x8000 | i[3], i[4]) for i in images]),
    ]
    for kind, resources in types:
        struct.pack_into("<HH", out, at, kind, len(resources))
        at += 8
        # NAMEINFO: offset and length in units, flags, id
        for rn_id, data in resources:
            out.extend(bytes(-len(out) % unit))
            struct.pack_into("<HHHH", out, at, len(out) // unit, -(-len(data) // unit), 0, rn_id)
            out.extend(data)
            at += 12
    return bytes(out + bytes(-len(out) % unit))


# The resource configuration (type "MUI", name 1) that ties a module to its .mun: signature,
# size, version, path type, file type, attributes, fallback, two checksums of 16 bytes, the
# type lists' offsets and lengths; its first LENGTH bytes, as a resource of type KIND.
def mui(checksum=b"A" * 16, signature=0xFECDFECD, length=132, kind="MUI"):
    head = le("IIIIIII", signature, 132, 0x10000, 0, 0x11, 0, 0)
    data = head + bytes(16) + checksum + bytes(72)
    return [(kind, 1, 0x409, data[:length])]


# A Windows folder in DIR as Windows 10 and later lay one out, in spellings seen on real
# systems: a module with a resource configuration and the RESOURCES given, and in
# SystemResources its .mun of the bytes MUN. Returns the module's path.
def system_resources(dir, mun, resources=()):
    windows = Path(dir) / "Windows"
    (windows / "SYSTEMRESOURCES").mkdir(parents=True)
    (windows / "SYSTEMRESOURCES" / "imageres.dll.mun").write_bytes(mun)
    (windows / "system32").mkdir()
    module = windows / "system32" / "ImageRes.dll"
    module.write_bytes(pe(list(resources) + mui()))
    return str(module)


# COUNT zTXt chunks whose text inflates to 8 MB each, some 7.8 kB apiece.
def text_chunks(count):
    text = zlib.compress(bytes(8 << 20), 9)
    return chunk(b"zTXt", b"Comment\0\0" + text) * count


# A zlib stream of ROWS_DATA followed by MEGABYTES of zeros: whole blocks of one megabyte,
# each compressed once and repeated, and the Adler-32 of it all.
def overflowing(rows_data, megabytes):
    deflate = zlib.compressobj(9, zlib.DEFLATED, -15)
    start = deflate.compress(rows_data) + deflate.flush(zlib.Z_FULL_FLUSH)
    megabyte = deflate.compress(bytes(1 << 20)) + deflate.flush(zlib.Z_FULL_FLUSH)
    end = deflate.flush()
    adler = zlib.adler32(rows_data)
    a, b = adler & 0xFFFF, adler >> 16
    # zeros leave a as it is and add it to b
    b = (b + (megabytes << 20) * a) % 65521
    return b"\x78\xda" + start + megabyte * megabytes + end + struct.pack(">I", b << 16 | a)


# Files that claim far more than they hold, or hold far more than their icons need.
def bombs():
    # COUNT entries, each claiming bytes at offset 0
    def claiming_ico(count, claimed, size):
        directory = le("HHH", 0, ICON, count)
        directory += le("BBBBHHII", 32, 32, 0, 0, 1, 32, claimed, 0) * count
        return directory.ljust(size, b"\0")

    # a header claiming WxH, data for ROWS_THERE rows of zeros
    def grey_png(w, h, rows_there):
        return png_file(w, h, 0, zlib.compress(bytes(rows_there * (w + 1)), 9))

    # an .ico of one 32x32 image
    def one(image_data):
        return ico([(32, 32, 32, 1, image_data)])

    red = [0xFFFF0000] * 32 * 32
    red_rows = b"".join(b"\0" + b"\xff\0\0\xff" * 32 for _ in range(32))
    big = (0, 0) + flat(0xFF336699, 256)[2:]
    small = flat(0xFF336699, 16)
    # One language directory and one group that every group of a bomb shares.
    one_group = [(0, group_directory([small]))]
    no_images = [(0, le("HHH", 0, ICON, 0))]
    icons = (RT_ICON, [(1, [(0, small[4])])])
    ids = [(i, one_group) for i in range(1, 65536)]
    long_name = [("N" * 65535, one_group)] * 65535
    many = [small] * 300
    return {
        "pe-300-images": pe(group(1, many)),
        "ne-300-images": ne(many),
        "ico-300-images": ico(many),
        "ico-65535-images-past-the-end": claiming_ico(65535, 16 << 20, 1 << 20),
        "ico-256-images-past-the-end": claiming_ico(256, 16 << 20, 1 << 20),
        "pe-256-entries-one-image": pe(group(1, [big] * 256)),
        "png-65535x65535-header": ico([(0, 0, 32, 1, grey_png(65535, 65535, 1))]),
        "png-4096x4096-of-zeros": ico([(0, 0, 32, 1, grey_png(4096, 4096, 4096))]),
        "png-1.5-GB-past-the-picture": one(png_file(32, 32, 6, overflowing(red_rows, 1536))),
        "png-text-before-the-picture": one(png(red, 32, 32, before=text_chunks(256))),
        "png-text-after-the-picture": one(png(red, 32, 32, after=text_chunks(256))),
        "pe-65535-groups": pe_tree([icons, (RT_GROUP_ICON, ids)]),
        "pe-65535-groups-65535-sections": pe_tree([icons, (RT_GROUP_ICON, ids)], 65534),
        "pe-131070-groups-one-long-name": pe_tree([icons, (RT_GROUP_ICON, long_name + ids)]),
        "pe-65535-groups-without-images": pe_tree(
            [icons, (RT_GROUP_ICON, [(i, no_images) for i in range(1, 65536)])]
        ),
    }


if __name__ == "__main__":
    for name, data in bombs().items():
        (Path(sys.argv[1]) / name).write_bytes(data)
    system_resources(sys.argv[1], pe(group(1, [flat(0xFF0000FF)]) + mui()))
