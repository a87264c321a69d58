"""Byte builders for small DIB, PNG, ICO, PE and NE files, and the files that claim, or inflate
to, far more than they hold (the bombs). Pictures are lists of 0xAARRGGBB pixels, top-down;
masks lists of 0 and 1, 1 where the screen shows through. An image is a tuple
(width, height, bits, id, data): its directory entry (256 written as 0), its RT_ICON id in
groups, and its bytes.
usage: builders.py DIR  (writes the bombs into DIR)"""
import struct
import sys
import zlib
from pathlib import Path

RVA = 0x1000  # where the resource section is mapped


def le(fmt, *values):
    return struct.pack("<" + fmt, *values)


def dib(pixels, w, h, bits=32, header=40, bitfields=False, alpha=True, mask=None):
    """An icon DIB: header, colour table of the picture's colours (indexed depths), colour rows
    bottom-up and the AND mask (mask=False leaves it out)."""
    palette = list(dict.fromkeys(p & 0xFFFFFF for p in pixels)) if bits <= 8 else []
    palette += [0] * ((1 << bits) - len(palette) if bits <= 8 else 0)
    if header == 12:  # BITMAPCOREHEADER; the height counts the mask too
        out = le("IHHHH", 12, w, 2 * h, 1, bits)
    else:  # BITMAPINFOHEADER, then the masks of BI_BITFIELDS or of the V4/V5 headers
        out = le("IiiHHIIiiII", header, w, 2 * h, 1, bits, 3 if bitfields else 0, 0, 0, 0, 0, 0)
        masks = (0xF800, 0x7E0, 0x1F) if bits == 16 else (0xFF0000, 0xFF00, 0xFF)
        out += le("III", *(masks if bitfields else (0, 0, 0))) if bitfields or header > 40 else b""
        out = out.ljust(header, b"\0")
    out += b"".join(le("I", c)[:3 if header == 12 else 4] for c in palette)

    def rows(depth, values):  # padded to 32 bits; indexes packed from the high bit
        stride, data = (w * depth + 31) // 32 * 4, b""
        for y in reversed(range(h)):
            row = values[y * w:(y + 1) * w]
            if depth < 8:
                packed = 0
                for v in row:
                    packed = packed << depth | v
                data += (packed << (stride * 8 - w * depth)).to_bytes(stride, "big")
            else:  # little-endian: B, G, R (and A)
                data += b"".join(v.to_bytes(depth // 8, "little") for v in row).ljust(stride, b"\0")
        return data

    def value(p):
        r, g, b = p >> 16 & 255, p >> 8 & 255, p & 255
        if bits <= 8:
            return palette.index(p & 0xFFFFFF)
        if bits == 16:
            return r >> 3 << 11 | g >> 2 << 5 | b >> 3 if bitfields else r >> 3 << 10 | g >> 3 << 5 | b >> 3
        return p if bits == 32 and alpha else p & 0xFFFFFF

    out += rows(bits, [value(p) for p in pixels])
    return out + (rows(1, mask or [0] * (w * h)) if mask is not False else b"")


def png_file(w, h, colour_type, rows, level=-1):
    """An 8-bit PNG of the given colour type whose IDAT holds `rows` (filter bytes included)."""
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, colour_type, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(rows, level)) + chunk(b"IEND", b""))


def png(pixels, w, h):
    """An 8-bit RGBA PNG."""
    return png_file(w, h, 6, b"".join(b"\0" + b"".join(struct.pack(">I", (p << 8 | p >> 24) & 0xFFFFFFFF)
                                                       for p in pixels[y * w:(y + 1) * w]) for y in range(h)))


def flat(colour, w=32, h=None, bits=32, id=1, as_png=False):
    """An image of one colour."""
    h = h or w
    data = png([colour] * w * h, w, h) if as_png else dib([colour] * w * h, w, h, bits, alpha=False)
    return (w, h, bits, id, data)


def entry(image):  # the fields GRPICONDIRENTRY and ICONDIRENTRY share
    w, h, bits, _, data = image
    return le("BBBBHHI", w & 255, h & 255, 1 << bits if bits < 8 else 0, 0, 1, bits, len(data))


def ico(images, kind=1):
    out, at = le("HHH", 0, kind, len(images)), 6 + 16 * len(images)
    for image in images:
        out, at = out + entry(image) + le("I", at), at + len(image[4])
    return out + b"".join(image[4] for image in images)


def group_directory(images):
    return le("HHH", 0, 1, len(images)) + b"".join(entry(i) + le("H", i[3]) for i in images)


def group(name, images, language=0):
    """Resources for pe(): an RT_GROUP_ICON and its RT_ICON images."""
    return [(14, name, language, group_directory(images))] + [(3, i[3], language, i[4]) for i in images]


def pe(resources):
    """A PE32 image whose one section holds the resources (type, name, language, bytes), named
    entries first in name order, then ids ascending, as the platform's linkers store them."""
    tree, section = {}, bytearray()
    for kind, name, language, data in resources:
        tree.setdefault(kind, {}).setdefault(name, {})[language] = data

    def write(node):  # a directory, or a data entry followed by its data
        at = len(section)
        if isinstance(node, bytes):
            section.extend(le("IIII", RVA + at + 16, len(node), 0, 0) + node + bytes(-len(node) % 4))
            return at
        keys = sorted(node, key=lambda k: (isinstance(k, int), k))
        named = sum(isinstance(k, str) for k in keys)
        section.extend(le("IIHHHH", 0, 0, 0, 0, named, len(keys) - named) + bytes(8 * len(keys)))
        for i, key in enumerate(keys):
            name = key
            if isinstance(key, str):  # a counted UTF-16 string, padded to 32 bits
                name = 0x80000000 | len(section)
                section.extend(le("H", len(key)) + key.encode("utf-16-le") + bytes(-(2 + 2 * len(key)) % 4))
            child = node[key]
            section[at + 16 + 8 * i:at + 24 + 8 * i] = le(
                "II", name, write(child) | (0 if isinstance(child, bytes) else 0x80000000))
        return at

    write(tree)
    out = bytearray(0x200)  # DOS header, PE header, optional header, one section header
    for at, fmt, *values in [(0, "H", 0x5A4D), (0x3C, "I", 0x40), (0x40, "I", 0x4550),
                             (0x44, "HH", 0x14C, 1), (0x54, "HH", 224, 0x2102), (0x58, "H", 0x10B),
                             (0x58 + 92, "I", 16), (0x58 + 112, "II", RVA, len(section)),
                             (0x138, "8s", b".rsrc"), (0x140, "IIII", len(section), RVA, len(section), 0x200)]:
        struct.pack_into("<" + fmt, out, at, *values)
    return bytes(out + section)


def ne(images, shift=4):
    """A 16-bit NE module whose resource table holds one group icon (id 1) and its images."""
    unit, table = 1 << shift, 2 + 8 + 12 + 8 + 12 * len(images) + 2
    out = bytearray(0x80 + table + 1)  # the table, then an empty resident name table
    out[0:2], out[0x40:0x42] = b"MZ", b"NE"
    struct.pack_into("<I", out, 0x3C, 0x40)
    struct.pack_into("<HH", out, 0x64, 0x40, 0x40 + table)  # ne_rsrctab, ne_restab
    struct.pack_into("<H", out, 0x80, shift)
    at = 0x82
    for kind, resources in [(0x800E, [(1, group_directory(images))]), (0x8003, [(i[3], i[4]) for i in images])]:
        struct.pack_into("<HH", out, at, kind, len(resources))
        at += 8
        for id, data in resources:  # NAMEINFO: offset and length in units, flags, id
            out.extend(bytes(-len(out) % unit))
            struct.pack_into("<HHHH", out, at, len(out) // unit, -(-len(data) // unit), 0, 0x8000 | id)
            out.extend(data)
            at += 12
    return bytes(out + bytes(-len(out) % unit))


def bombs():
    def claiming_ico(count, claimed, size):  # COUNT entries, each claiming bytes at offset 0
        return (le("HHH", 0, 1, count) + le("BBBBHHII", 32, 32, 0, 0, 1, 32, claimed, 0) * count).ljust(size, b"\0")

    def grey_png(w, h, rows):  # a header claiming WxH, data for `rows` rows of zeros
        return png_file(w, h, 0, bytes(rows * (w + 1)), 9)

    big, small = flat(0xFF336699, 256), flat(0xFF336699, 16)
    big = (0, 0) + big[2:]
    return {
        "ico-65535-images-past-the-end": claiming_ico(65535, 16 << 20, 1 << 20),
        "ico-256-images-past-the-end": claiming_ico(256, 16 << 20, 1 << 20),
        "pe-256-entries-one-image": pe(group(1, [big] * 256)),
        "png-65535x65535-header": ico([(0, 0, 32, 1, grey_png(65535, 65535, 1))]),
        "png-4096x4096-of-zeros": ico([(0, 0, 32, 1, grey_png(4096, 4096, 4096))]),
        "pe-65535-groups": pe([(3, 1, 0, small[4])] + [(14, i, 0, group_directory([small])) for i in range(1, 65536)]),
    }


if __name__ == "__main__":
    for name, data in bombs().items():
        (Path(sys.argv[1]) / name).write_bytes(data)
