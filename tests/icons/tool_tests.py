# The icon reader through the quorvane-icons command: on byte-built files, whole and broken,
# with pixels computed by hand; the command as scripts use it, on hostile files too; and real
# Windows files from Debian's packages, against icoutils' wrestool and ImageMagick.
# usage: tool_tests.py TOOL MEMORY_BOUND_MIB [unittest options]

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
from builders import dib, flat, group, ico, mui, ne, patched, pe, png

TOOL = sys.argv[1]
BOUND_MIB = int(sys.argv[2])
WINE = "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows"
NSIS = "/usr/share/nsis"
FONTS = "/usr/share/wine/fonts"
FONT = FONTS + "/coure.fon"
STUB = NSIS + "/Stubs/zlib-x86-unicode"
# ImageMagick 7 names its command magick; version 6 has convert.
MAGICK = "magick" if shutil.which("magick") else "convert"
# What every command says of a group of more than 256 images, in every kind of file.
TOO_MANY = "group 0: 300 images, more than the 256 that a group may hold"
RED = 0xFFFF0000
# AddressSanitizer keeps freed memory aside, 256 MiB of it unless told otherwise.
os.environ["ASAN_OPTIONS"] = os.environ.get("ASAN_OPTIONS", "") + ":quarantine_size_mb=16"


# Exit status, standard output and standard error of the tool.
def run(*args):
    done = subprocess.run([TOOL, *args], capture_output=True, text=True, errors="replace")
    return done.returncode, done.stdout, done.stderr


def listed(path):
    return json.loads(run("list", "--json", path)[1])["icons"]


# The group names that icoutils' wrestool lists, in directory order, each once.
def wrestool_groups(path):
    command = ["wrestool", "-l", "--type=14", path]
    lines = subprocess.run(command, capture_output=True, text=True).stdout.splitlines()
    names = [line.split()[1].removeprefix("--name=").strip("'") for line in lines]
    return list(dict.fromkeys(names))


def magick(*args):
    return subprocess.run([MAGICK, *args], capture_output=True).stdout


# ImageMagick's 8-bit RGB of an image ([n] picks one of an .ico's), flattened on white.
def rgb_on_white(image):
    return magick(image, "-background", "white", "-alpha", "remove", "-depth", "8", "rgb:-")


# An opaque 0xAARRGGBB colour as the 8-bit RGB of a rendered pixel.
def rgb(colour):
    return bytes([colour >> 16 & 255, colour >> 8 & 255, colour & 255])


class InADirectory(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="quorvane-tool-")
        self.addCleanup(shutil.rmtree, self.dir)

    def at(self, name):
        return os.path.join(self.dir, name)

    def file(self, name, data):
        Path(self.at(name)).write_bytes(data)
        return self.at(name)

    # Icon INDEX as render draws it on white, 32x32 RGB; or its exit status and the message it
    # gives for having none; anything else (more lines: a crash, a sanitizer) as it came.
    def rendered(self, data, index=0):
        return self.rendered_file(self.file("in", data), index)

    def rendered_file(self, path, index=0):
        status, _, error = run("render", path, str(index), self.at("out.png"))
        if status == 0:
            return rgb_on_white(self.at("out.png"))
        prefix = f"quorvane-icons: {path}: "
        if error.startswith(prefix) and error.count("\n") == 1:
            return status, error[len(prefix) : -1]
        return status, error


# A 32x32 red and black picture with a transparent 4x4 corner: exact at every depth.
CORNER = [int(i % 32 < 4 and i // 32 < 4) for i in range(1024)]
PICTURE = [
    RED if (i % 32 + i // 32) % 3 == 0 and not corner else 0xFF000000
    for i, corner in enumerate(CORNER)
]
WHOLE_PE = pe(group(1, [flat(RED)]))
WHOLE_NE = ne([flat(RED, id=5)])
WHOLE_ICO = ico([flat(RED)])
GROUP_DIRECTORY = WHOLE_PE.index(builders.group_directory([flat(RED)]))
PAST_THE_END = f"past the end of the file (size {len(WHOLE_ICO)})"
# A resource file (.mun) of one red icon, and the resource configuration of every module here.
MUN = pe(group(1, [flat(RED)]) + mui())

Row = namedtuple("Row", "name data count first")
READER_ROWS = [
    Row("NE", WHOLE_NE, 1, rgb(RED)),
    Row("a cursor", ico([flat(RED)], builders.CURSOR), 0, (1, "not a PE, NE or .ico file")),
    Row("empty", b"", 0, (1, "not a PE, NE or .ico file")),
    Row("an .ico of no images", ico([]), 0, (1, "an .ico file of no images")),
    Row(
        "the group names a missing image",
        pe(group(1, [flat(RED, id=9)])[:1]),
        1,
        (1, "group 0, entry 0: image 9: no RT_ICON resource has this id"),
    ),
    Row(
        "a group claiming 500 images keeps the one it has",
        patched(WHOLE_PE, GROUP_DIRECTORY + builders.GRPICONDIR_COUNT, "H", 500),
        1,
        rgb(RED),
    ),
    Row(
        "the icon type's directory is the root",
        patched(WHOLE_PE, builders.ICON_TYPE_ENTRY + 4, "I", 0x80000000),
        1,
        (1, "group 0, entry 0: image 1: no RT_ICON resource has this id"),
    ),
    Row(
        "resources outside every section",
        patched(WHOLE_PE, builders.RESOURCE_DATA_DIRECTORY, "I", 0xFFFFFFF0),
        0,
        (1, "resource root directory: 16 bytes at RVA 0xfffffff0 lie in no section"),
    ),
    Row(
        "NE alignment shift 40",
        patched(WHOLE_NE, builders.NE_ALIGN_SHIFT, "H", 40),
        0,
        (2, "NE resource table: rscAlignShift 40 is more than 16"),
    ),
    Row(
        "NE resource table past the end",
        patched(WHOLE_NE, builders.NE_FIRST_TYPE_COUNT, "H", 60000),
        0,
        (1, "NE resource table: TYPEINFO at 2: its 60000 NAMEINFOs run past the table"),
    ),
    Row(
        "ico image past the end",
        patched(WHOLE_ICO, builders.ICO_FIRST_OFFSET, "I", 1 << 31),
        1,
        (1, f"group 0, entry 0: image: starts at offset {1 << 31}, {PAST_THE_END}"),
    ),
]


class Reader(InADirectory):
    def test_counts_and_first_icons_of_whole_and_broken_files(self):
        for row in READER_ROWS:
            with self.subTest(row.name):
                path = self.file("in", row.data)
                self.assertEqual(run("count", path)[:2], (0, f"{row.count}\n"))
                first = self.rendered(row.data)
                self.assertEqual(first[:3] if isinstance(first, bytes) else first, row.first)

    def test_group_order_languages_and_ne_alignment(self):
        resources = []
        names = [(7, 0), ("ZETA", 0), (3, 0), ("ALPHA", 0), (3, 0x411)]
        for id, (name, language) in enumerate(names, 1):
            resources += group(name, [flat(0xFF000000 | id, id=id)], language)
        # Named groups first, in name order, then ids ascending; a second language counts once.
        for index, colour in enumerate([4, 2, 3, 1]):
            self.assertEqual(self.rendered(pe(resources), index)[:3], rgb(colour))
        self.assertEqual(
            self.rendered(pe(resources), 4), (1, "group 4: the file has 4 icon groups")
        )
        # NE offsets and lengths are shifted by the file's own alignment.
        for shift in (0, 4, 9):
            green = ne([flat(0xFF00AA00, id=5)], shift)
            self.assertEqual(self.rendered(green)[:3], rgb(0xFF00AA00), shift)

    def test_chooses_the_image_nearest_32_in_every_kind_of_file(self):
        # The images of a group, and the colour of the one drawn.
        choices = [
            ([flat(1, 16), flat(2, id=2), flat(3, 48, id=3)], 2),
            # no 32: the larger wins
            ([flat(1, 16), flat(2, 48, id=2)], 2),
            # bits nearest 32
            ([flat(1, bits=4), flat(2, bits=24, id=2)], 2),
            # everything equal: the first
            ([flat(1), flat(2, id=2)], 1),
            # both sides count
            ([flat(1, 32, 96), flat(2, 40, id=2)], 2),
        ]
        for images, colour in choices:
            for data in (pe(group(1, images)), ico(images), ne(images)):
                self.assertEqual(self.rendered(data)[:3], rgb(colour), images[0][:3])

    def test_every_depth_and_png_give_the_same_picture(self):
        expected = b"".join(b"\xff\xff\xff" if m else rgb(p) for p, m in zip(PICTURE, CORNER))
        forms = [dict(bits=bits) for bits in (1, 4, 8, 16, 24)] + [
            dict(bits=1, header=12),
            dict(bits=16, bitfields=True),
            dict(bits=32, header=108, bitfields=True, alpha=False),
        ]
        for form in forms:
            image = dib(PICTURE, 32, 32, mask=CORNER, **form)
            self.assertEqual(self.rendered(ico([(32, 32, 32, 1, image)])), expected, form)
        # As an alpha PNG, the transparent corner comes from alpha 0.
        image = png([0 if m else p for p, m in zip(PICTURE, CORNER)], 32, 32)
        self.assertEqual(self.rendered(ico([(32, 32, 32, 1, image)])), expected)
        # A 32-bit DIB with any alpha is an alpha icon: red at alpha 128 over white, rounded.
        half = ico([(4, 4, 32, 1, dib([0x80FF0000] * 16, 4, 4))])
        self.assertEqual(self.rendered(half)[:3], bytes([255, 127, 127]))

    def test_damaged_images_say_why(self):
        # A missing mask counts as opaque: the colour image shows everywhere.
        no_mask = dib(PICTURE, 32, 32, bits=4, mask=False)
        self.assertEqual(
            self.rendered(ico([(32, 32, 4, 1, no_mask)])), bytes().join(map(rgb, PICTURE))
        )
        eight = dib(PICTURE, 32, 32, bits=8)
        picture = png(PICTURE, 32, 32)
        header = builders.BitmapInfoHeader
        # A part of the image broken, and the status and reason of render.
        damages = [
            ("colour cut short", no_mask[:-1], 1, "DIB: the colour rows (512 bytes) are cut short"),
            (
                "huge width",
                patched(eight, header.width, "I", 100000),
                2,
                "DIB: a picture of 100000x32 pixels, more than 1024 a side",
            ),
            (
                "RLE compression",
                patched(eight, header.compression, "I", 2),
                1,
                "DIB: compression 2 is neither BI_RGB nor BI_BITFIELDS",
            ),
            ("PNG cut short", picture[:64], 1, "PNG: the data ends before the last row"),
        ]
        for name, image, status, why in damages:
            with self.subTest(name):
                got = self.rendered(ico([(32, 32, 8, 1, image)]))
                self.assertEqual(got, (status, "group 0, entry 0: " + why))

    def test_thumbnails_take_the_smallest_image_covering_the_size(self):
        # width, height and the pixels as RGBA
        def thumbnail(path, size):
            out = self.at("t.png")
            self.assertEqual(run("thumbnail", "-s", str(size), path, out)[0], 0)
            # IHDR's width and height
            w, h = struct.unpack(">II", Path(out).read_bytes()[16:24])
            return w, h, magick(out, "-depth", "8", "rgba:-")

        # A colour each; a 32-bit image comes before an 8-bit one of its size.
        images = [
            flat(0xFF000010, 16),
            flat(0xFF000020, 32, bits=8),
            flat(0xFF000040, 64, 32, bits=8),
            flat(0xFF000041, 64, 32),
            flat(0xFF000100, 256),
        ]
        path = self.file("t.ico", ico(images))
        # The size asked for, the colour of the image taken, and the thumbnail's size: never
        # more than the image's.
        sizes = [(17, 0x20, 17, 17), (60, 0x41, 60, 30), (10**12, 0x100, 256, 256)]
        for size, colour, w, h in sizes:
            got_w, got_h, pixels = thumbnail(path, size)
            self.assertEqual((got_w, got_h, pixels[:4]), (w, h, rgb(colour) + b"\xff"), size)
        # 4x2 to 2x1. Left: red, a transparent white, blue at alpha 128, green at 64: alpha
        # (255 + 128 + 64) / 4 = 111.75, each colour c * a / 447: red 145.5, green 36.5, blue
        # 73.0. Right: two black and two white, opaque.
        top = [0xFFFF0000, 0x00FFFFFF, 0xFF000000, 0xFFFFFFFF]
        bottom = [0x800000FF, 0x4000FF00, 0xFFFFFFFF, 0xFF000000]
        shrunk = thumbnail(self.file("s.ico", ico([(4, 2, 32, 1, png(top + bottom, 4, 2))])), 2)
        self.assertEqual(shrunk, (2, 1, bytes([145, 37, 73, 112, 128, 128, 128, 255])))


Bomb = namedtuple("Bomb", "render extract thumbnail extract_all why", defaults=[""])
# The exit statuses of render and extract (of the last icon), thumbnail and extract --all on
# each hostile file, and what each says when it fails; count and list end 0. (Time:
# bench/run-budget-bench.sh.)
BOMBS = {
    # one group too many for the reader, refused alike in every kind of file
    "pe-300-images": Bomb(2, 2, 2, 2, TOO_MANY),
    "ne-300-images": Bomb(2, 2, 2, 2, TOO_MANY),
    "ico-300-images": Bomb(2, 2, 2, 2, TOO_MANY),
    # too many entries for a group
    "ico-65535-images-past-the-end": Bomb(2, 2, 2, 2),
    # 256 x 1 MiB: past the group budget
    "ico-256-images-past-the-end": Bomb(1, 2, 1, 2),
    # 256 x 270 kB, all one image
    "pe-256-entries-one-image": Bomb(0, 2, 0, 2),
    # refused from its header
    "png-65535x65535-header": Bomb(2, 0, 2, 0),
    # 16 kB that inflate to 16 MB
    "png-4096x4096-of-zeros": Bomb(2, 0, 2, 0),
    # inflated only as far as needed
    "png-1.5-GB-past-the-picture": Bomb(0, 0, 0, 0),
    # 2 GB of text, never inflated
    "png-text-before-the-picture": Bomb(0, 0, 0, 0),
    "png-text-after-the-picture": Bomb(0, 0, 0, 0),
    # more files than extract --all writes
    "pe-65535-groups": Bomb(0, 0, 0, 2),
    "pe-65535-groups-65535-sections": Bomb(0, 0, 0, 2),
    # names past the file's size
    "pe-131070-groups-one-long-name": Bomb(0, 0, 0, 2),
    "pe-65535-groups-without-images": Bomb(1, 1, 1, 1),
}


class SystemResources(InADirectory):
    def test_a_module_without_icons_has_those_of_its_mun(self):
        module = builders.system_resources(self.dir, MUN)
        mun = self.at("Windows/SYSTEMRESOURCES/imageres.dll.mun")
        self.assertEqual(run("count", module)[1], "1\n")
        self.assertEqual(self.rendered_file(module)[:3], rgb(RED))
        listing = json.loads(run("list", "--json", module)[1])
        self.assertEqual(listing["source"], mun)
        self.assertIn(f'icons from "{mun}"\n', run("list", module)[1])
        # A hostile .mun is refused as any file is; a module with icons never looks at it.
        Path(mun).write_bytes(pe(group(1, [flat(RED)] * 300) + mui()))
        refused = (2, f"quorvane-icons: {mun}: {TOO_MANY}\n")
        self.assertEqual(self.rendered_file(module), refused)
        Path(module).write_bytes(MUN)
        self.assertEqual(self.rendered_file(module)[:3], rgb(RED))

    def test_only_a_mun_that_belongs_to_its_module_is_followed(self):
        red = group(1, [flat(RED)])
        mun = self.at("Windows/SYSTEMRESOURCES/imageres.dll.mun")
        # The .mun of each case: none gives the module icons.
        cases = {
            "another checksum": pe(red + mui(bytes(16))),
            "no configuration": pe(red),
            "a configuration cut short": pe(red + mui(length=60)),
            "no signature": pe(red + mui(signature=0)),
            "other types": pe(red + mui(kind="MUIS") + mui(kind="MUX")),
            "the .mun cut short": MUN[:600],
            "a .mun without icons leads nowhere": pe(mui()),
        }
        for name, data in cases.items():
            with self.subTest(name):
                shutil.rmtree(self.at("Windows"), ignore_errors=True)
                module = builders.system_resources(self.dir, data)
                # Followed on from the .mun, this one would give icons.
                self.file(mun + ".mun", MUN)
                got = self.rendered_file(module)
                self.assertEqual(got, (1, "group 0: the file has 0 icon groups"))


class Tool(InADirectory):
    # Runs the command under /usr/bin/time: its status, one line on error, its peak memory
    # within the bound, and no file made but the one it writes. Returns what it said.
    def check_command(self, args, status):
        before = set(os.listdir(self.dir))
        peak = self.at("peak")
        timed = ["/usr/bin/time", "-f", "%M", "-o", peak, TOOL, *args]
        done = subprocess.run(timed, capture_output=True)
        lines = done.stderr.count(b"\n")
        self.assertEqual((done.returncode, lines), (status, int(status != 0)), done.stderr[:300])
        # The peak in KiB, after "Command exited with…" when the status is not 0.
        self.assertLessEqual(int(Path(peak).read_text().split()[-1]), BOUND_MIB << 10)
        made = set(os.listdir(self.dir)) - before - {"peak"}
        writes = status == 0 and args[0] in ("render", "extract", "thumbnail")
        self.assertEqual(made, {os.path.basename(args[-1])} if writes else set())
        for name in made:
            shutil.rmtree(self.at(name)) if name == "all" else os.remove(self.at(name))
        return done.stderr.decode()

    def test_hostile_files_end_within_the_budgets_and_leave_nothing_on_failure(self):
        bombs = builders.bombs()
        self.assertEqual(set(bombs), set(BOMBS))
        for name, want in BOMBS.items():
            path = self.file(name, bombs[name])
            last = str(max(int(run("count", path)[1]) - 1, 0))
            commands = [
                (["count", path], 0),
                (["list", "--json", path], 0),
                (["render", path, last, self.at("out.png")], want.render),
                (["extract", path, last, self.at("out.ico")], want.extract),
                (["thumbnail", "-s", "1024", path, self.at("out.png")], want.thumbnail),
                (["extract", "--all", path, self.at("all")], want.extract_all),
            ]
            for args, status in commands:
                with self.subTest(bomb=name, command=args[0]):
                    said = self.check_command(args, status)
                    self.assertIn(want.why if status else "", said)

    def test_list_quotes_names_and_extract_writes_every_group_where_told(self):
        # Names are quoted, with what a terminal would act on escaped; an NE name has a byte a
        # character; a PNG whose entry gives no bit count has 32.
        blue = (16, 16, 0, 1, png([0xFF0000FF] * 256, 16, 16))
        name = 'A"B\\C\x1b]0;x\x07\r\nD\u202e'
        path = self.file("named.dll", pe(group(name, [blue])))
        line = '0 "A\\"B\\\\C\\u001B]0;x\\u0007\\u000D\\u000AD\\u202E" 16x16 32bpp PNG'
        self.assertEqual(run("list", path)[1], f"{line} {len(blue[4])} bytes\n")
        self.assertEqual(listed(path)[0]["name"], name)
        latin = self.file("latin.fon", ne([flat(RED)], name=b"caf\xe9"))
        self.assertEqual(listed(latin)[0]["name"], "caf\xe9")
        # A group that cannot be read: the kind of error and its message.
        too_many = listed(self.file("300.ico", ico([flat(RED, 16)] * 300)))
        self.assertEqual(too_many[0]["error"], {"kind": "too-large", "message": TOO_MANY})
        # Each group written as wrestool writes it.
        shell32 = WINE + "/shell32.dll"
        written = self.at("all")
        self.assertEqual(run("extract", "--all", shell32, written), (0, "", ""))
        self.assertEqual(len(os.listdir(written)), len(wrestool_groups(shell32)))
        theirs = self.at("theirs.ico")
        command = ["wrestool", "-x", "--type=14", "--name=1", "-o", theirs, shell32]
        subprocess.run(command, check=True)
        # wrestool's file ends in as many stray bytes as the group directory is long.
        theirs = Path(theirs).read_bytes()
        images = struct.unpack("<H", theirs[4:6])[0]
        expected = theirs[
            : len(theirs) - builders.GRPICONDIR_SIZE - builders.GRPICONDIRENTRY_SIZE * images
        ]
        self.assertEqual(Path(self.at("all/2-1.ico")).read_bytes(), expected)

    def test_failures_say_why_and_leave_no_file(self):
        # Two groups, the second of which names a missing image: extract --all writes neither.
        missing = group(2, [flat(RED, id=9)])[:1]
        half = self.file("half.dll", pe(group(1, [flat(RED)]) + missing))
        failures = [
            (["extract", "--all", half, self.at("all")], 1, "1 of 2 icons cannot be extracted"),
            (["count", "--json", STUB], 2, "bad command line"),
        ]
        for args, status, message in failures:
            with self.subTest(args):
                code, _, error = run(*args)
                self.assertEqual((code, error.count("\n")), (status, 1))
                self.assertIn(message, error)
        self.assertEqual(os.listdir(self.dir), ["half.dll"])


class RealFiles(InADirectory):
    def test_groups_agree_with_wrestool(self):
        folders = [WINE, FONTS, NSIS + "/Stubs", NSIS + "/Contrib/Graphics/Icons"]
        files = [path for folder in folders for path in glob.glob(folder + "/*")]
        self.assertGreater(len(files), 700, "install wine64, fonts-wine and nsis")
        with_icons = 0
        for path in sorted(files):
            ours = [str(icon.get("name", icon.get("id"))) for icon in listed(path)]
            # wrestool reads no .ico: it holds one icon
            ico = Path(path).read_bytes()[:4] == b"\0\0\1\0"
            self.assertEqual(ours, ["1"] if ico else wrestool_groups(path), path)
            with_icons += bool(ours)
        self.assertGreater(with_icons, 60)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1] + sys.argv[3:])
