"""The icon reader through the quorvane-icons command: on byte-built files, whole and broken,
with pixels computed by hand; the command as a script uses it (output, exit status, files
written, memory) on hostile files; and real Windows files from Debian packages, checked with
independent tools: icoutils' wrestool for the groups, ImageMagick for the pixels.
usage: tool_tests.py TOOL MEMORY_BOUND_MIB [unittest options]"""

import glob
import json
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
from collections import namedtuple
from pathlib import Path

import builders
from builders import dib, flat, ico, ne, patched, pe, png

TOOL = sys.argv[1]
BOUND_MIB = int(sys.argv[2])
WINE = "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows"
NSIS = "/usr/share/nsis"
FONTS = "/usr/share/wine/fonts"
STUB = NSIS + "/Stubs/zlib-x86-unicode"
# ImageMagick 7 names its command magick; version 6 has convert.
MAGICK = "magick" if shutil.which("magick") else "convert"
# The reasons the tool gives.
NO_ICON = "no such icon"
NOT_ICONS = "not a file with icons"
MALFORMED = "malformed file"
UNDECODABLE = "image cannot be decoded"
LIMITS = "beyond the reader's limits"
RED = 0xFFFF0000


def run(*args):
    """Exit status, standard output and standard error of the tool."""
    done = subprocess.run([TOOL, *args], capture_output=True, text=True, errors="replace")
    return done.returncode, done.stdout, done.stderr


def listed(path):
    return json.loads(run("list", "--json", path)[1])["icons"]


def wrestool_groups(path):
    """The group names that icoutils' wrestool lists, in directory order, each once."""
    names = []
    command = ["wrestool", "-l", "--type=14", path]
    for line in subprocess.run(command, capture_output=True, text=True).stdout.splitlines():
        name = line.split()[1].removeprefix("--name=").strip("'")
        if name not in names:
            names.append(name)
    return names


def magick(*args):
    return subprocess.run([MAGICK, *args], capture_output=True).stdout


def rgb_on_white(image):
    """ImageMagick's decoding of an image (a file name; [n] picks one of an .ico's), flattened
    on white: 8-bit RGB."""
    return magick(image, "-background", "white", "-alpha", "remove", "-depth", "8", "rgb:-")


def premultiplied_rgba(image):
    """ImageMagick's decoding of an image as RGBA, the colours multiplied by alpha / 255."""
    rgba = magick(image, "-depth", "8", "rgba:-")
    return [rgba[i] * rgba[i | 3] / 255 if i % 4 < 3 else rgba[i] for i in range(len(rgba))]


def halved(rgba, width):
    """A 2:1 area average of RGBA values, WIDTH pixels a row."""
    out = []
    for y in range(0, len(rgba) // (4 * width), 2):
        for x in range(0, width, 2):
            for channel in range(4):
                corners = [((y + dy) * width + x + dx) * 4 + channel for dy in (0, 1) for dx in (0, 1)]
                out.append(sum(rgba[i] for i in corners) / 4)
    return out


def rgb(colour):
    """An opaque 0xAARRGGBB colour as the 8-bit RGB of a rendered pixel."""
    return bytes([colour >> 16 & 255, colour >> 8 & 255, colour & 255])


def worst_difference(ours, theirs):
    """The largest difference of two pictures' values (rounded off past six places), or 256
    when their sizes differ."""
    if not ours or len(ours) != len(theirs):
        return 256
    return round(max(abs(a - b) for a, b in zip(ours, theirs)), 6)


def chunk_types(png_bytes):
    """The types of a PNG's chunks, in order."""
    types = []
    at = 8
    while at + 8 <= len(png_bytes):
        length, kind = struct.unpack(">I4s", png_bytes[at : at + 8])
        types.append(kind.decode())
        at += 12 + length
    return types


class InADirectory(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="quorvane-tool-")
        self.addCleanup(shutil.rmtree, self.dir)

    def at(self, name):
        return os.path.join(self.dir, name)

    def file(self, name, data):
        Path(self.at(name)).write_bytes(data)
        return self.at(name)

    def rendered(self, data, index=0):
        """Icon INDEX as render draws it on white, 32x32 RGB; or the reason it gives for having
        none; anything else (another exit status, other lines: a crash, a sanitizer's report)
        as it came."""
        path = self.file("in", data)
        status, _, error = run("render", path, str(index), self.at("out.png"))
        if status == 0:
            return rgb_on_white(self.at("out.png"))
        prefix = f"quorvane-icons: {path}: icon {index}: "
        if status == 1 and error.startswith(prefix) and error.count("\n") == 1:
            return error[len(prefix) : -1]
        return status, error


# A 32x32 red and black picture with a transparent 4x4 corner: exact at every depth.
CORNER = [int(i % 32 < 4 and i // 32 < 4) for i in range(1024)]
PICTURE = [RED if (i % 32 + i // 32) % 3 == 0 and not c else 0xFF000000 for i, c in enumerate(CORNER)]
WHOLE_PE = pe(builders.group(1, [flat(RED)]))
WHOLE_NE = ne([flat(RED, id=5)])
WHOLE_ICO = ico([flat(RED)])
SHORT_ICO = ico([flat(RED, 16, bits=1)])
# In WHOLE_PE the resource section follows the headers. Its root directory has two entries
# after its 16-byte header, RT_ICON's and RT_GROUP_ICON's, each a Name and an OffsetToData.
RESOURCE_SECTION = builders.FILE_ALIGNMENT
ICON_TYPE_ENTRY = RESOURCE_SECTION + 16
GROUP_TYPE_ENTRY = ICON_TYPE_ENTRY + 8
GROUP_TYPE_OFFSET = struct.unpack_from("<I", WHOLE_PE, GROUP_TYPE_ENTRY + 4)[0] & 0x7FFFFFFF
GROUP_TYPE_DIRECTORY = RESOURCE_SECTION + GROUP_TYPE_OFFSET
NE_ALIGN_SHIFT = builders.NE_RESOURCE_TABLE
NE_FIRST_TYPE_COUNT = builders.NE_RESOURCE_TABLE + 2 + 2

Row = namedtuple("Row", "name data count first")
READER_ROWS = [
    Row("ico of two sizes", ico([flat(1, 16), flat(RED)]), 1, rgb(RED)),
    Row("PE, two groups", pe(builders.group(1, [flat(RED)]) + builders.group(2, [flat(1, id=2)])), 2, rgb(RED)),
    Row("PE without resources", pe([]), 0, NO_ICON),
    Row("PE with strings only", pe([(6, 1, 0, bytes(8))]), 0, NO_ICON),
    Row("NE", WHOLE_NE, 1, rgb(RED)),
    Row("NE font", Path(FONTS + "/coure.fon").read_bytes(), 0, NO_ICON),
    Row("a cursor", ico([flat(RED)], builders.CURSOR), 0, NOT_ICONS),
    Row("ico of no images", ico([]), 0, NOT_ICONS),
    Row("DOS program", b"MZ" + bytes(126), 0, NOT_ICONS),
    Row("LE module", patched(WHOLE_NE, builders.NE_HEADER, "2s", b"LE"), 0, NOT_ICONS),
    Row("ELF", b"\x7fELF\2\1\1\0", 0, NOT_ICONS),
    Row("empty", b"", 0, NOT_ICONS),
    Row(
        "the group names image 9, which is not there",
        pe([(14, 1, 0, builders.group_directory([flat(RED, id=9)])), (3, 1, 0, flat(RED)[4])]),
        1,
        NO_ICON,
    ),
    Row(
        "a group claiming 500 entries keeps the one it has",
        patched(WHOLE_PE, WHOLE_PE.index(builders.group_directory([flat(RED)])) + 4, "H", 500),
        1,
        rgb(RED),
    ),
    Row(
        "the icon type entry points back at the root",
        patched(WHOLE_PE, ICON_TYPE_ENTRY + 4, "I", 0x80000000),
        1,
        NO_ICON,
    ),
    Row(
        "resources outside every section",
        patched(WHOLE_PE, builders.RESOURCE_DATA_DIRECTORY, "I", 0xFFFFFFF0),
        0,
        MALFORMED,
    ),
    Row(
        "a type directory claiming 40000 entries",
        patched(WHOLE_PE, GROUP_TYPE_DIRECTORY + 14, "H", 40000),
        0,
        MALFORMED,
    ),
    Row("NE alignment shift 40", patched(WHOLE_NE, NE_ALIGN_SHIFT, "H", 40), 0, LIMITS),
    Row("NE resource table past the end", patched(WHOLE_NE, NE_FIRST_TYPE_COUNT, "H", 60000), 0, MALFORMED),
    Row("ico image past the end", patched(WHOLE_ICO, 6 + 12, "I", 0x7FFFFFFF), 1, MALFORMED),
    # The count comes from the 6-byte header alone: a directory cut short counts.
    Row("ico directory cut short", patched(SHORT_ICO, 4, "H", (len(SHORT_ICO) - 6) // 16 + 1), 1, MALFORMED),
    Row("257 images, past the budget of 256", ico([(16, 16, 1, 1, bytes(8))] * 257), 1, LIMITS),
]


class Reader(InADirectory):
    def test_counts_and_first_icons_of_whole_and_broken_files(self):
        for row in READER_ROWS:
            with self.subTest(row.name):
                self.assertEqual(run("count", self.file("in", row.data))[:2], (0, f"{row.count}\n"))
                first = self.rendered(row.data)
                self.assertEqual(first[:3] if isinstance(first, bytes) else first, row.first)

    def test_group_order_languages_and_ne_alignment(self):
        resources = []
        names = [(7, 0), ("ZETA", 0), (3, 0), ("ALPHA", 0), (3, 0x411)]
        for id, (name, language) in enumerate(names, 1):
            resources += builders.group(name, [flat(0xFF000000 | id, id=id)], language)
        # Named groups first, in name order, then ids ascending; a second language counts
        # once, unseen.
        for index, colour in enumerate([4, 2, 3, 1]):
            self.assertEqual(self.rendered(pe(resources), index)[:3], rgb(colour))
        self.assertEqual(self.rendered(pe(resources), 4), NO_ICON)
        # NE offsets and lengths are shifted by the file's own alignment.
        for shift in (0, 4, 6, 9):
            green = ne([flat(0xFF00AA00, id=5)], shift)
            self.assertEqual(self.rendered(green)[:3], rgb(0xFF00AA00), shift)

    def test_chooses_the_image_nearest_32_in_every_kind_of_file(self):
        # The images of a group, and the colour of the one drawn.
        choices = [
            ([flat(1, 16), flat(2, id=2), flat(3, 48, id=3)], 2),
            ([flat(1, 16), flat(2, 48, id=2)], 2),  # no 32: the larger wins
            ([flat(1, bits=4), flat(2, bits=24, id=2)], 2),  # bits nearest 32
            ([flat(1), flat(2, id=2)], 1),  # everything equal: the first
            ([flat(0xFF00FF00, 256, as_png=True)], 0xFF00FF00),
            ([flat(1, 32, 96), flat(2, 40, id=2)], 2),  # both sides count
        ]
        for images, colour in choices:
            for data in (pe(builders.group(1, images)), ico(images), ne(images)):
                self.assertEqual(self.rendered(data)[:3], rgb(colour), images[0][:3])

    def test_every_depth_and_png_give_the_same_picture(self):
        expected = b"".join(b"\xff\xff\xff" if m else rgb(p) for p, m in zip(PICTURE, CORNER))
        forms = [
            dict(bits=1),
            dict(bits=4),
            dict(bits=8),
            dict(bits=24),
            dict(bits=32, alpha=False),
            dict(bits=1, header=12),
            dict(bits=8, header=124),
            dict(bits=16),
            dict(bits=16, bitfields=True),
            dict(bits=32, bitfields=True, alpha=False),
            dict(bits=32, header=108, bitfields=True, alpha=False),
        ]
        for form in forms:
            image = dib(PICTURE, 32, 32, mask=CORNER, **form)
            self.assertEqual(self.rendered(ico([(32, 32, 32, 1, image)])), expected, form)
        # The same picture as an alpha PNG: the transparent corner comes from alpha 0.
        image = png([0 if m else p for p, m in zip(PICTURE, CORNER)], 32, 32)
        self.assertEqual(self.rendered(ico([(32, 32, 32, 1, image)])), expected)
        # A 32-bit DIB with any alpha is an alpha icon: red at alpha 128 over white, rounded.
        half = ico([(4, 4, 32, 1, dib([0x80FF0000] * 16, 4, 4))])
        self.assertEqual(self.rendered(half)[:3], bytes([255, 127, 127]))

    def test_damaged_images(self):
        # A missing mask counts as opaque: the colour image shows everywhere.
        no_mask = dib(PICTURE, 32, 32, bits=4, mask=False)
        whole = b"".join(rgb(p) for p in PICTURE)
        self.assertEqual(self.rendered(ico([(32, 32, 4, 1, no_mask)])), whole)
        eight = dib(PICTURE, 32, 32, bits=8)
        picture = png(PICTURE, 32, 32)
        # biSize at 0, biWidth at 4, biHeight at 8, biBitCount at 14, biCompression at 16,
        # biClrUsed at 32.
        damages = [
            ("colour cut short", no_mask[:-1], UNDECODABLE),
            ("header size 20", patched(eight, 0, "I", 20), UNDECODABLE),
            ("width 0", patched(eight, 4, "I", 0), UNDECODABLE),
            ("negative width", patched(eight, 4, "i", -16), UNDECODABLE),
            ("height 1, no image above the mask", patched(eight, 8, "I", 1), UNDECODABLE),
            ("huge width", patched(eight, 4, "I", 100000), LIMITS),
            ("bit count 7", patched(eight, 14, "H", 7), UNDECODABLE),
            ("RLE compression", patched(eight, 16, "I", 2), UNDECODABLE),
            ("colour table larger than the data", patched(eight, 32, "I", 4000), UNDECODABLE),
            ("colour table beyond the limit", patched(eight, 32, "I", 1 << 30), UNDECODABLE),
            ("nothing", b"", UNDECODABLE),
            ("PNG cut short", picture[: len(picture) // 2], UNDECODABLE),
        ]
        for name, image, reason in damages:
            with self.subTest(name):
                self.assertEqual(self.rendered(ico([(32, 32, 8, 1, image)])), reason)

    def test_thumbnails_take_the_smallest_image_covering_the_size(self):
        def image(w, h, bits, colour, as_png=False):
            if as_png:
                return (w, h, bits, 1, png([colour] * w * h, w, h))
            return (w, h, bits, 1, dib([colour] * w * h, w, h, bits))

        def thumbnail(path, size):  # width, height and the pixels as RGBA
            status = run("thumbnail", "-s", str(size), path, self.at("t.png"))[0]
            self.assertEqual(status, 0)
            w, h = struct.unpack(">II", Path(self.at("t.png")).read_bytes()[16:24])
            return w, h, magick(self.at("t.png"), "-depth", "8", "rgba:-")

        # A colour each. A paletted PNG (8 bits in its entry) comes before a 24-bit DIB of its
        # size, a 32-bit DIB before an 8-bit one.
        images = [
            image(16, 16, 32, 0xFF000010),
            image(32, 32, 8, 0xFF000020),
            image(48, 48, 24, 0xFF000030),
            image(48, 48, 8, 0xFF000031, as_png=True),
            image(64, 32, 8, 0xFF000040),
            image(64, 32, 32, 0xFF000041),
            image(256, 256, 32, 0xFF000100),
        ]
        path = self.file("t.ico", ico(images))
        # The size asked for, the colour of the image taken, and the thumbnail's size: never
        # more than the image's, whatever the size asked for.
        sizes = [
            (16, 0x10, 16, 16),
            (17, 0x20, 17, 17),
            (40, 0x31, 40, 40),
            (60, 0x41, 60, 30),
            (128, 0x100, 128, 128),
            (1024, 0x100, 256, 256),
            (10**12, 0x100, 256, 256),
        ]
        for size, colour, w, h in sizes:
            got_w, got_h, pixels = thumbnail(path, size)
            self.assertEqual((got_w, got_h, pixels[:4]), (w, h, rgb(colour) + b"\xff"), size)
        # 4x2 to 2x1. Left: red, a transparent white, blue at alpha 128, green at 64: alpha
        # (255 + 128 + 64) / 4 = 111.75, each colour c * a / 447: red 145.5, green 36.5, blue
        # 73.0. Right: two black and two white, opaque.
        square = [0xFFFF0000, 0x00FFFFFF, 0xFF000000, 0xFFFFFFFF]
        square += [0x800000FF, 0x4000FF00, 0xFFFFFFFF, 0xFF000000]
        shrunk = thumbnail(self.file("s.ico", ico([(4, 2, 32, 1, png(square, 4, 2))])), 2)
        self.assertEqual(shrunk, (2, 1, bytes([0x91, 0x25, 0x49, 0x70, 0x80, 0x80, 0x80, 0xFF])))


class Tool(InADirectory):
    def test_hostile_files_end_within_the_budgets_and_leave_nothing_on_failure(self):
        # The exit statuses of render and extract (of the last icon), thumbnail and
        # extract --all; count and list end 0. (Time is measured by bench/run-budget-bench.sh.)
        Bomb = namedtuple("Bomb", "render extract thumbnail extract_all")
        expected = {
            "ico-65535-images-past-the-end": Bomb(1, 2, 1, 2),  # too many entries for a group
            "ico-256-images-past-the-end": Bomb(1, 2, 1, 2),  # 256 x 1 MiB: past the group budget
            "pe-256-entries-one-image": Bomb(0, 2, 0, 2),  # 256 x 270 kB, all one image
            "png-65535x65535-header": Bomb(1, 0, 1, 0),  # refused from its header
            "png-4096x4096-of-zeros": Bomb(1, 0, 1, 0),  # 16 kB that inflate to 16 MB
            "png-1.5-GB-past-the-picture": Bomb(0, 0, 0, 0),  # inflated only as far as needed
            "png-text-before-the-picture": Bomb(0, 0, 0, 0),  # 2 GB of text, never inflated
            "png-text-after-the-picture": Bomb(0, 0, 0, 0),
            "pe-65535-groups": Bomb(0, 0, 0, 2),  # more files than extract --all writes
            "pe-65535-groups-65535-sections": Bomb(0, 0, 0, 2),
            "pe-131070-groups-one-long-name": Bomb(0, 0, 0, 2),  # names past the file's size
            "pe-65535-groups-without-images": Bomb(1, 1, 1, 1),
        }
        bombs = builders.bombs()
        self.assertEqual(set(bombs), set(expected))
        # AddressSanitizer keeps freed memory aside, 256 MiB of it unless told otherwise.
        environment = dict(os.environ, ASAN_OPTIONS=os.environ.get("ASAN_OPTIONS", "") + ":quarantine_size_mb=16")
        for name, status in expected.items():
            path = self.file(name, bombs[name])
            last = str(max(int(run("count", path)[1]) - 1, 0))
            png, ico, folder = self.at("out.png"), self.at("out.ico"), self.at("all")
            commands = [
                (["count", path], 0),
                (["list", path], 0),
                (["list", "--json", path], 0),
                (["render", path, last, png], status.render),
                (["extract", path, last, ico], status.extract),
                (["thumbnail", "-s", "1024", path, png], status.thumbnail),
                (["extract", "--all", path, folder], status.extract_all),
            ]
            for args, want in commands:
                with self.subTest(bomb=name, command=args[:-1]):
                    # Peak memory in KiB, through time: a child forked from this process would
                    # count this process's memory as its own.
                    peak = self.at("peak")
                    before = set(os.listdir(self.dir)) | {"peak"}
                    timed = ["/usr/bin/time", "-f", "%M", "-o", peak, TOOL, *args]
                    done = subprocess.run(timed, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env=environment)
                    lines = 0 if want == 0 else 1
                    self.assertEqual((done.returncode, done.stderr.count(b"\n")), (want, lines), done.stderr[:300])
                    # After "Command exited with…" when the status is not 0.
                    self.assertLessEqual(int(Path(peak).read_text().split()[-1]), BOUND_MIB << 10)
                    made = sorted(set(os.listdir(self.dir)) - before)
                    writes = want == 0 and args[0] in ("render", "extract", "thumbnail")
                    self.assertEqual(made, [os.path.basename(args[-1])] if writes else [])
                    shutil.rmtree(folder, ignore_errors=True)
                    for leftover in set(made) - {"all"}:
                        os.remove(self.at(leftover))

    def test_render_and_thumbnail_write_the_pictures_pixels(self):
        # At 48 notepad's 48x48 32-bit image is drawn unscaled: ImageMagick's own decoding of
        # it, flattened on white, must agree (ImageMagick rounds the blend its own way).
        notepad = WINE + "/notepad.exe"
        self.assertEqual(run("render", "--size", "48", notepad, "0", self.at("ours.png"))[0], 0)
        self.assertEqual(run("extract", notepad, "0", self.at("group.ico"))[0], 0)
        ours = rgb_on_white(self.at("ours.png"))
        self.assertEqual(len(ours), 48 * 48 * 3)
        self.assertLessEqual(worst_difference(ours, rgb_on_white(self.at("group.ico") + "[1]")), 1)
        # A thumbnail goes into the file it is given, which a reader that opened it first sees:
        # the PNG signature, IHDR's width 128 (big-endian) and colour type 6, RGBA.
        with open(self.file("thumb.png", b"x"), "rb") as reader:
            self.assertEqual(run("thumbnail", notepad, self.at("thumb.png"))[0], 0)
            head = reader.read(26)
        self.assertEqual((head[1:4], head[16:20], head[25]), (b"PNG", b"\0\0\0\x80", 6))
        # A thumbnail carries the picture and nothing else: a PNG icon with text is encoded
        # again, without it.
        red = png([RED] * 16 * 16, 16, 16, after=builders.chunk(b"tEXt", b"Thumb::URI\0file:///etc/passwd"))
        path = self.file("red.ico", ico([(16, 16, 32, 1, red)]))
        self.assertEqual(run("thumbnail", path, self.at("thumb.png"))[0], 0)
        self.assertEqual(chunk_types(Path(self.at("thumb.png")).read_bytes()), ["IHDR", "IDAT", "IEND"])

    def test_list_quotes_names_and_extract_writes_every_group(self):
        # Names are quoted, with what a terminal would act on escaped, in both forms; an NE
        # name has a byte a character; a PNG whose entry gives no bit count has 32.
        blue = (16, 16, 0, 1, png([0xFF0000FF] * 256, 16, 16))
        name = 'A"B\\C\x1b]0;x\x07\r\nD\u202e'
        path = self.file("named.dll", pe(builders.group(name, [blue])))
        line = '0 "A\\"B\\\\C\\u001B]0;x\\u0007\\u000D\\u000AD\\u202E" 16x16 32bpp PNG'
        self.assertEqual(run("list", path)[1], f"{line} {len(blue[4])} bytes\n")
        self.assertEqual([listed(path)[0]["name"], listed(path)[0]["images"][0]["bits"]], [name, 32])
        latin = self.file("latin.fon", ne([flat(RED)], name=b"caf\xe9"))
        self.assertEqual(listed(latin)[0]["name"], "caf\xe9")
        shell32 = WINE + "/shell32.dll"
        self.assertEqual(run("extract", "--all", shell32, self.at("all")), (0, "", ""))
        self.assertEqual(len(os.listdir(self.at("all"))), len(wrestool_groups(shell32)))
        # Each file is the group as wrestool writes it, which adds as many stray bytes as the
        # group directory is long; and it reads back as one icon.
        theirs = self.at("theirs.ico")
        subprocess.run(["wrestool", "-x", "--type=14", "--name=1", "-o", theirs, shell32], check=True)
        group = Path(self.at("all/2-1.ico")).read_bytes()
        self.assertGreater(len(group), 20000)
        self.assertEqual(Path(theirs).read_bytes()[: len(group)], group)
        self.assertEqual(run("count", self.at("all/2-1.ico"))[:2], (0, "1\n"))

    def test_failures_say_why_and_leave_no_file(self):
        # Two groups, the second of which names a missing image: extract --all writes neither.
        half = self.file("half.dll", pe(builders.group(1, [flat(RED)]) + [(14, 2, 0, builders.group_directory([flat(RED, id=9)]))]))
        # A command line, its exit status, and its one line.
        failures = [
            (["count", self.at("nothing.dll")], 2, "nothing.dll: no such file"),
            (["count", self.dir], 2, f"{self.dir}: cannot be read"),
            (["render", STUB, "1", self.at("out.png")], 1, f"{STUB}: icon 1: no such icon"),
            (["extract", STUB, "5", self.at("out.ico")], 1, f"{STUB}: icon 5: no such icon"),
            (["render", STUB, "-1", self.at("out.png")], 2, "bad INDEX '-1': expected a number from 0"),
            (["extract", STUB, "one", self.at("out.ico")], 2, "bad INDEX 'one': expected a number from 0"),
            (["render", STUB, "0", self.at("no/such/dir/out.png")], 2, "out.png: No such file or directory"),
            (["extract", "--all", half, self.at("all")], 1, "1 of 2 icons cannot be extracted, so none is; "),
            (["show", STUB], 2, "bad command line; try 'quorvane-icons --help'"),
            (["thumbnail", FONTS + "/coure.fon", self.at("t.png")], 1, "coure.fon: icon 0: no such icon"),
            (["thumbnail", "-s", "0", STUB, self.at("t.png")], 2, "bad SIZE '0': expected a number from 1"),
            (["render", "--size=513", STUB, "0", self.at("t.png")], 2, "bad SIZE '513': expected a number from 1 to 512"),
            (["render", STUB, "0", self.at("t.png"), "--size"], 2, "option '--size' needs a value"),
            (["count", "--json", STUB], 2, "bad command line; try 'quorvane-icons --help'"),
            ([], 2, "no command; try 'quorvane-icons --help'"),
        ]
        for args, status, message in failures:
            with self.subTest(args):
                code, _, error = run(*args)
                self.assertEqual((code, error.count("\n")), (status, 1))
                self.assertIn(message, error)
        self.assertEqual(os.listdir(self.dir), ["half.dll"])  # no partial or temporary files

    def test_outputs_that_are_not_regular_files_are_written_through(self):
        # A link stays a link and its file gets the picture; a pipe stays a pipe and is read.
        # (A file renamed over /dev/null once replaced the device.)
        os.symlink(self.file("real.png", b"old"), self.at("link.png"))
        self.assertEqual(run("render", STUB, "0", self.at("link.png"))[0], 0)
        self.assertTrue(os.path.islink(self.at("link.png")))
        self.assertEqual(Path(self.at("real.png")).read_bytes()[:4], b"\x89PNG")
        os.mkfifo(self.at("pipe"))
        reader = subprocess.Popen(["timeout", "10", "cat", self.at("pipe")], stdout=subprocess.PIPE)
        self.assertEqual(run("extract", STUB, "0", self.at("pipe"))[0], 0)
        piped = self.file("piped.ico", reader.communicate()[0])
        self.assertEqual(run("count", piped)[:2], (0, "1\n"))
        self.assertTrue(os.path.exists(self.at("pipe")) and not os.path.isfile(self.at("pipe")))


class RealFiles(InADirectory):
    def test_groups_agree_with_wrestool(self):
        files = glob.glob(WINE + "/*") + glob.glob(NSIS + "/Stubs/*") + glob.glob(FONTS + "/*")
        files += glob.glob(NSIS + "/Contrib/Graphics/Icons/*")
        self.assertGreater(len(files), 700, "install wine64, fonts-wine and nsis (tools/dev/setup-debian.sh)")
        kinds = {"icons": 0, "fonts": 0, "ico": 0}
        for path in sorted(files):
            ours = [str(icon.get("name", icon.get("id"))) for icon in listed(path)]
            if Path(path).read_bytes()[:4] == b"\0\0\1\0":
                kinds["ico"] += 1
                self.assertEqual(len(ours), 1, path)  # wrestool reads no .ico: one icon each
                continue
            self.assertEqual(ours, wrestool_groups(path), path)
            kinds["fonts"] += path.endswith(".fon")
            kinds["icons"] += bool(ours)
        self.assertTrue(kinds["icons"] > 30 and kinds["fonts"] > 20 and kinds["ico"] > 30, kinds)

    def test_rendered_pixels_agree_with_imagemagick(self):
        # Groups whose best image for 32x32 is a 32x32 one, the one with the most colours: only
        # unscaled pictures have an exact independent answer.
        samples = [(WINE + "/shell32.dll", 40), (WINE + "/user32.dll", 10), (WINE + "/comctl32.dll", 10)]
        samples += [(WINE + "/explorer.exe", 10), (STUB, 1), (NSIS + "/Stubs/lzma-amd64-unicode", 1)]
        samples += [(f, 1) for f in glob.glob(NSIS + "/Contrib/Graphics/Icons/*.ico")]
        compared = 0
        for path, groups in samples:
            for icon in listed(path)[:groups]:
                images = icon["images"]
                sizes = [(m["width"], m["height"]) for m in images]
                if (32, 32) not in sizes:
                    continue
                at_32 = [i for i, s in enumerate(sizes) if s == (32, 32)]
                chosen = max(at_32, key=lambda i: (images[i]["bits"], -i))
                group = path
                if not path.endswith(".ico"):
                    group = self.at("group.ico")
                    name = "--name=%s" % icon.get("name", icon.get("id"))
                    subprocess.run(["wrestool", "-x", "--type=14", name, "-o", group, path], check=True)
                status = run("render", path, str(icon["index"]), self.at("ours.png"))[0]
                self.assertEqual(status, 0)
                ours = rgb_on_white(self.at("ours.png"))
                theirs = rgb_on_white("%s[%d]" % (group, chosen))
                self.assertLessEqual(worst_difference(ours, theirs), 1, (path, icon["index"]))
                compared += 1
        self.assertGreater(compared, 40)

    def test_thumbnails_agree_with_imagemagick(self):
        # Every wine file whose first icon holds a 256x256 PNG: at 256 the thumbnail is that
        # PNG's pixels exactly, as ImageMagick decodes them; at 128 their 2:1 area average in
        # premultiplied alpha, within the 1 level that two roundings (alpha, and the colour
        # stored without alpha) can add up to.
        checked = 0
        for path in sorted(glob.glob(WINE + "/*.dll") + glob.glob(WINE + "/*.exe") + glob.glob(WINE + "/*.cpl")):
            images = (listed(path) or [{"images": []}])[0]["images"]
            large = [m for m in images if (m["width"], m["bits"], m["format"]) == (256, 32, "PNG")]
            if not large:
                continue
            self.assertEqual(run("extract", path, "0", self.at("group.ico"))[0], 0)
            expected = premultiplied_rgba(self.at("group.ico") + "[%d]" % images.index(large[0]))
            for size, pixels, tolerance in [(256, expected, 0), (128, halved(expected, 256), 1)]:
                status = run("thumbnail", "-s", str(size), path, self.at("ours.png"))[0]
                self.assertEqual(status, 0)
                ours = premultiplied_rgba(self.at("ours.png"))
                self.assertLessEqual(worst_difference(ours, pixels), tolerance, (path, size))
            checked += 1
        self.assertGreaterEqual(checked, 10)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1] + sys.argv[3:])
