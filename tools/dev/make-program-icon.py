#!/usr/bin/env python3
"""Writes app/Quorvane.ico, the program icon: one 32x32, 16-colour image of 744 bytes, and
app/Quorvane.png, the same picture for the desktop's icon theme.

The picture is a program window holding four small coloured tiles, the icons inside a
program file. Run it again after changing the picture below; the .ico is kept in the
repository.
"""
import struct
import sys
import zlib

# The 16 colours of the standard palette, (r, g, b).
PALETTE = [
    (0, 0, 0),
    (128, 0, 0),
    (0, 128, 0),
    (128, 128, 0),
    (0, 0, 128),
    (128, 0, 128),
    (0, 128, 128),
    (192, 192, 192),
    (128, 128, 128),
    (255, 0, 0),
    (0, 255, 0),
    (255, 255, 0),
    (0, 0, 255),
    (255, 0, 255),
    (0, 255, 255),
    (255, 255, 255),
]
BLACK, NAVY, SILVER, GREY, RED, LIME, YELLOW, BLUE, WHITE = 0, 4, 7, 8, 9, 10, 11, 12, 15


def fill(image, x0, y0, x1, y1, colour):
    """Fills the rectangle from (x0, y0) to (x1, y1), both corners included."""
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            image[y][x] = colour


def pixels():
    image = [[None] * 32 for _ in range(32)]  # None: transparent
    fill(image, 3, 4, 30, 28, GREY)  # shadow
    fill(image, 2, 3, 29, 27, BLACK)  # window border
    fill(image, 3, 4, 28, 7, NAVY)  # title bar
    fill(image, 4, 5, 5, 6, WHITE)  # its icon
    fill(image, 23, 5, 24, 6, SILVER)  # its buttons
    fill(image, 26, 5, 27, 6, SILVER)
    fill(image, 3, 9, 28, 26, SILVER)  # window body
    fill(image, 5, 10, 26, 25, WHITE)  # client area
    # Four tiles in a 2x2 grid: the icons inside a program file.
    for x0, y0, colour in ((7, 12, RED), (17, 12, LIME), (7, 19, BLUE), (17, 19, YELLOW)):
        fill(image, x0, y0, x0 + 7, y0 + 4, GREY)
        fill(image, x0 + 1, y0 + 1, x0 + 6, y0 + 3, colour)
    return image


def ico():
    image = pixels()
    xor = bytearray()
    mask = bytearray()
    for y in reversed(range(32)):  # bottom-up rows
        row = image[y]
        for x in range(0, 32, 2):
            hi = row[x] if row[x] is not None else BLACK
            lo = row[x + 1] if row[x + 1] is not None else BLACK
            xor.append(hi << 4 | lo)
        bits = 0
        for x in range(32):
            bits = bits << 1 | (1 if row[x] is None else 0)
        mask += struct.pack(">I", bits)
    header = struct.pack("<IiiHHIIiiII", 40, 32, 64, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    data = header + table + bytes(xor) + bytes(mask)
    assert len(data) == 744
    directory = struct.pack("<HHH", 0, 1, 1) + struct.pack(
        "<BBBBHHII", 32, 32, 16, 0, 1, 4, len(data), 22
    )
    return directory + data


def png():
    image = pixels()
    rows = b""
    for row in image:
        rows += b"\x00"  # no filter
        for c in row:
            rows += bytes(PALETTE[c]) + b"\xff" if c is not None else b"\x00\x00\x00\x00"

    def chunk(kind, data):
        return (
            struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
        )

    header = struct.pack(">IIBBBBB", 32, 32, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return (
        b"\x89PNG\r\n\x1a\n"
        + chunk(b"IHDR", header)
        + chunk(b"IDAT", zlib.compress(rows, 9))
        + chunk(b"IEND", b"")
    )


if __name__ == "__main__":
    folder = sys.argv[1] if len(sys.argv) > 1 else "app"
    with open(folder + "/Quorvane.ico", "wb") as f:
        f.write(ico())
    with open(folder + "/Quorvane.png", "wb") as f:
        f.write(png())
