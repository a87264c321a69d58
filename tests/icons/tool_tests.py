"""The icon reader through the quorvane-icons command: on byte-built files, well-formed and
broken, with pixels computed by hand; the command as a script uses it (output, exit status,
files written, memory); and real Windows files from Debian packages, checked with independent
tools: icoutils' wrestool for the groups, ImageMagick for the pixels.
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
from pathlib import Path

import builders as b

TOOL, BOUND_MIB = sys.argv[1], int(sys.argv[2])
WINE = "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows"
NSIS = "/usr/share/nsis"
FONTS = "/usr/share/wine/fonts"
STUB = NSIS + "/Stubs/zlib-x86-unicode"


def tool(*args):
    """Exit status and output (standard output and error together)."""
    run = subprocess.run([TOOL, *args], stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    return run.returncode, run.stdout


def listed(path):
    return json.loads(tool("list", "--json", path)[1])["icons"]


def wrestool_groups(path):
    """The group names that icoutils' wrestool lists, in directory order, each once."""
    names = []
    for line in subprocess.run(["wrestool", "-l", "--type=14", path], capture_output=True,
                               text=True).stdout.splitlines():
        name = line.split()[1].removeprefix("--name=").strip("'")
        names += [name] if name not in names else []
    return names


# ImageMagick 7 names its one command magick; version 6 has convert.
MAGICK = "magick" if shutil.which("magick") else "convert"


def magick(*args):
    return subprocess.run([MAGICK, *args], capture_output=True).stdout


def rgb_on_white(image):
    """ImageMagick's decoding of an image (a file name, [n] picks one of an .ico's), flattened
    on white: 8-bit RGB."""
    return magick(image, "-background", "white", "-alpha", "remove", "-depth", "8", "rgb:-")


def premultiplied_rgba(image):
    """ImageMagick's decoding of an image as RGBA, the colours multiplied by alpha / 255."""
    rgba = magick(image, "-depth", "8", "rgba:-")
    return [rgba[i] * rgba[i | 3] / 255 if i % 4 < 3 else rgba[i] for i in range(len(rgba))]


def halved(rgba, width):
    """A 2:1 area average of RGBA values, `width` pixels a row."""
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


def patched(data, at, fmt, value):
    out = bytearray(data)
    struct.pack_into("<" + fmt, out, at, value)
    return bytes(out)


def worst_difference(ours, theirs):
    """The largest difference of two pictures' values (rounded off past six places), or 256
    when their sizes differ."""
    if not ours or len(ours) != len(theirs):
        return 256
    return round(max(abs(a - b) for a, b in zip(ours, theirs)), 6)


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
        """Icon n of a file as render draws it on white, 32x32 RGB; or the reason it gives."""
        code, out = tool("render", self.file("in", data), str(index), self.at("out.png"))
        return rgb_on_white(self.at("out.png")) if code == 0 else out.split(": ")[-1].strip()

    def read(self, data, index=0):
        """The count, and the colour of icon n's top-left pixel (or the reason there is none)."""
        code, out = tool("count", self.file("in", data))
        picture = self.rendered(data, index)
        return int(out) if code == 0 else out, picture[:3] if isinstance(picture, bytes) else picture


# A 32x32 red and black picture with a transparent 4x4 corner: exact at every depth.
CORNER = [int(i % 32 < 4 and i // 32 < 4) for i in range(1024)]
PICTURE = [0xFFFF0000 if (i % 32 + i // 32) % 3 == 0 and not CORNER[i] else 0xFF000000 for i in range(1024)]


class Reader(InADirectory):
    def test_counts_and_first_icons_of_whole_and_broken_files(self):
        # The count and icon 0's top-left pixel; None: no icon, for whatever reason; or the reason.
        red, gone, large = 0xFFFF0000, None, "beyond the reader's limits"
        pe, ne, ico = b.pe(b.group(1, [b.flat(red)])), b.ne([b.flat(red, id=5)]), b.ico([b.flat(red)])
        group_type = 0x200 + struct.unpack_from("<H", pe, 0x200 + 28)[0]
        short = b.ico([b.flat(red, 16, bits=1)])
        for name, data, count, colour in [
                ("ico of two sizes", b.ico([b.flat(1, 16), b.flat(red)]), 1, rgb(red)),
                ("PE, two groups", b.pe(b.group(1, [b.flat(red)]) + b.group(2, [b.flat(red, id=2)])), 2, rgb(red)),
                ("PE without resources", b.pe([]), 0, gone),
                ("PE with strings only", b.pe([(6, 1, 0, bytes(8))]), 0, gone),
                ("NE", ne, 1, rgb(red)),
                ("NE font", Path(FONTS + "/coure.fon").read_bytes(), 0, gone),
                ("a cursor", b.ico([b.flat(red)], 2), 0, gone),
                ("ico of no images", b.ico([]), 0, gone),
                ("DOS program", b"MZ" + bytes(126), 0, gone),
                ("LE module", patched(ne, 0x40, "2s", b"LE"), 0, gone),
                ("ELF", b"\x7fELF\2\1\1\0", 0, gone),
                ("empty", b"", 0, gone),
                ("the group names image 9, which is not there",
                 b.pe([(14, 1, 0, b.group_directory([b.flat(red, id=9)])), (3, 1, 0, b.flat(red)[4])]), 1, gone),
                ("a group claiming 500 entries keeps the one it has",
                 patched(pe, pe.index(b.group_directory([b.flat(red)])) + 4, "H", 500), 1, rgb(red)),
                ("the icon type entry points back at the root", patched(pe, 0x200 + 20, "I", 0x80000000), 1, gone),
                ("resources outside every section", patched(pe, 0x58 + 112, "I", 0xFFFFFFF0), 0, gone),
                ("a type directory claiming 40000 entries", patched(pe, group_type + 14, "H", 40000), 0, gone),
                ("NE alignment shift 40", patched(ne, 0x80, "H", 40), 0, large),
                ("NE resource table past the end", patched(ne, 0x84, "H", 60000), 0, gone),
                ("ico image past the end", patched(ico, 18, "I", 0x7FFFFFFF), 1, gone),
                # The count comes from the 6-byte header alone: a directory cut short counts.
                ("ico directory cut short", patched(short, 4, "H", (len(short) - 6) // 16 + 1), 1, gone),
                ("257 images, past the budget of 256", b.ico([(16, 16, 1, 1, bytes(8))] * 257), 1, large)]:
            got, picture = self.read(data)
            self.assertEqual((got, None if colour is None and isinstance(picture, str) else picture),
                             (count, colour), name)

    def test_group_order_languages_and_ne_alignment(self):
        resources = []
        for id, (name, language) in enumerate([(7, 0), ("ZETA", 0), (3, 0), ("ALPHA", 0), (3, 0x411)], 1):
            resources += b.group(name, [b.flat(0xFF000000 | id, id=id)], language)
        pe = b.pe(resources)
        # Named groups first, in name order, then ids ascending; a second language counts once,
        # unseen.
        self.assertEqual([self.read(pe, i) for i in range(5)],
                         [(4, rgb(c)) for c in (4, 2, 3, 1)] + [(4, "no such icon")])
        self.assertEqual(listed(self.at("in"))[0]["name"], "ALPHA")
        # NE offsets and lengths are shifted by the file's own alignment.
        for shift in (0, 4, 6, 9):
            self.assertEqual(self.read(b.ne([b.flat(0xFF00AA00, id=5)], shift)), (1, rgb(0xFF00AA00)), shift)

    def test_chooses_the_image_nearest_32_in_every_kind_of_file(self):
        for images, colour in [([b.flat(1, 16), b.flat(2, id=2), b.flat(3, 48, id=3)], 2),
                               ([b.flat(1, 16), b.flat(2, 48, id=2)], 2),  # no 32: the larger wins
                               ([b.flat(1, bits=4), b.flat(2, bits=24, id=2)], 2),  # bits nearest 32
                               ([b.flat(1), b.flat(2, id=2)], 1),  # everything equal: the first
                               ([b.flat(0xFF00FF00, 256, as_png=True)], 0xFF00FF00),
                               ([b.flat(1, 32, 96), b.flat(2, 40, id=2)], 2)]:  # both sides count
            for data in (b.pe(b.group(1, images)), b.ico(images), b.ne(images)):
                self.assertEqual(self.read(data)[1], rgb(colour), images[0][:3])

    def test_every_depth_and_png_give_the_same_picture(self):
        expected = b"".join(b"\xff\xff\xff" if m else rgb(p) for p, m in zip(PICTURE, CORNER))
        for option in [dict(bits=1), dict(bits=4), dict(bits=8), dict(bits=24), dict(bits=32, alpha=False),
                       dict(bits=1, header=12), dict(bits=8, header=124), dict(bits=16),
                       dict(bits=16, bitfields=True), dict(bits=32, bitfields=True, alpha=False),
                       dict(bits=32, header=108, bitfields=True, alpha=False)]:
            image = b.dib(PICTURE, 32, 32, mask=CORNER, **option)
            self.assertEqual(self.rendered(b.ico([(32, 32, 32, 1, image)])), expected, option)
        # The same picture as an alpha PNG: the transparent corner comes from alpha 0.
        image = b.png([0 if m else p for p, m in zip(PICTURE, CORNER)], 32, 32)
        self.assertEqual(self.rendered(b.ico([(32, 32, 32, 1, image)])), expected)
        # A 32-bit DIB with any alpha is an alpha icon: red at alpha 128 over white, rounded.
        half = b.ico([(4, 4, 32, 1, b.dib([0x80FF0000] * 16, 4, 4))])
        self.assertEqual(self.rendered(half)[:3], bytes([255, 127, 127]))

    def test_damaged_images(self):
        # A missing mask counts as opaque: the colour image shows everywhere.
        no_mask = b.dib(PICTURE, 32, 32, bits=4, mask=False)
        self.assertEqual(self.rendered(b.ico([(32, 32, 4, 1, no_mask)])), b"".join(rgb(p) for p in PICTURE))
        eight, png = b.dib(PICTURE, 32, 32, bits=8), b.png(PICTURE, 32, 32)
        undecodable, large = "image cannot be decoded", "beyond the reader's limits"
        for name, image, reason in [("colour cut short", no_mask[:-1], undecodable),
                                    ("header size 20", patched(eight, 0, "I", 20), undecodable),
                                    ("width 0", patched(eight, 4, "I", 0), undecodable),
                                    ("negative width", patched(eight, 4, "i", -16), undecodable),
                                    ("height 1, no image above the mask", patched(eight, 8, "I", 1), undecodable),
                                    ("huge width", patched(eight, 4, "I", 100000), large),
                                    ("bit count 7", patched(eight, 14, "H", 7), undecodable),
                                    ("RLE compression", patched(eight, 16, "I", 2), undecodable),
                                    ("colour table larger than the data", patched(eight, 32, "I", 4000), undecodable),
                                    ("colour table beyond the limit", patched(eight, 32, "I", 1 << 30), undecodable),
                                    ("nothing", b"", undecodable),
                                    ("PNG cut short", png[:len(png) // 2], undecodable)]:
            self.assertEqual(self.rendered(b.ico([(32, 32, 8, 1, image)])), reason, name)

    def test_thumbnails_take_the_smallest_image_covering_the_size_shrunk_in_premultiplied_alpha(self):
        def image(w, h, bits, colour, as_png=False):
            return (w, h, bits, 1, b.png([colour] * w * h, w, h) if as_png else b.dib([colour] * w * h, w, h, bits))

        def thumbnail(path, size):  # width, height and the first pixel as RGBA
            self.assertEqual(tool("thumbnail", "-s", str(size), path, self.at("t.png"))[0], 0)
            w, h = struct.unpack(">II", Path(self.at("t.png")).read_bytes()[16:24])
            return w, h, magick(self.at("t.png"), "-depth", "8", "rgba:-")
        # A colour each. A paletted PNG (8 bits in its entry) comes before a 24-bit DIB of its
        # size, a 32-bit DIB before an 8-bit one.
        path = self.file("t.ico", b.ico([image(16, 16, 32, 0xFF000010), image(32, 32, 8, 0xFF000020),
                                         image(48, 48, 24, 0xFF000030), image(48, 48, 8, 0xFF000031, True),
                                         image(64, 32, 8, 0xFF000040), image(64, 32, 32, 0xFF000041),
                                         image(256, 256, 32, 0xFF000100)]))
        for size, colour, w, h in [(16, 0x10, 16, 16), (17, 0x20, 17, 17), (40, 0x31, 40, 40), (60, 0x41, 60, 30),
                                   (128, 0x100, 128, 128), (300, 0x100, 256, 256)]:  # 300: the largest
            got_w, got_h, pixels = thumbnail(path, size)
            self.assertEqual((got_w, got_h, pixels[:4]), (w, h, rgb(colour) + b"\xff"), size)
        # 4x2 to 2x1. Left: red, a transparent white, blue at alpha 128, green at 64: alpha
        # (255 + 128 + 64) / 4 = 111.75, each colour c * a / 447: red 145.5, green 36.5, blue
        # 73.0. Right: two black and two white, opaque.
        square = b.png([0xFFFF0000, 0x00FFFFFF, 0xFF000000, 0xFFFFFFFF,
                        0x800000FF, 0x4000FF00, 0xFFFFFFFF, 0xFF000000], 4, 2)
        self.assertEqual(thumbnail(self.file("s.ico", b.ico([(4, 2, 32, 1, square)])), 2),
                         (2, 1, bytes([0x91, 0x25, 0x49, 0x70, 0x80, 0x80, 0x80, 0xFF])))


class Tool(InADirectory):
    def test_files_that_claim_too_much_stay_within_the_budgets(self):
        # The index that render and extract take, and the exit statuses of render, extract,
        # thumbnail and extract --all; count and list end 0.
        cases = {
            "ico-65535-images-past-the-end": ("0", 1, 2, 1, 2),  # too many entries for a group
            "ico-256-images-past-the-end": ("0", 1, 2, 1, 2),  # 256 x 1 MiB: past the group budget
            "pe-256-entries-one-image": ("0", 0, 2, 0, 2),  # 256 x 270 kB, all one image
            "png-65535x65535-header": ("0", 1, 0, 1, 0),  # refused from its header
            "png-4096x4096-of-zeros": ("0", 1, 0, 1, 0),  # 16 kB that inflate to 16 MB
            "pe-65535-groups": ("65534", 0, 0, 0, 2),
        }
        bombs = b.bombs()
        self.assertEqual(set(bombs), set(cases))
        for bomb, (index, render, extract, thumbnail, every) in cases.items():
            file, png, ico = self.file(bomb, bombs[bomb]), self.at("out.png"), self.at("out.ico")
            for args, expected in [(["count", file], 0), (["list", file], 0),
                                   (["render", file, index, png], render),
                                   (["extract", file, index, ico], extract),
                                   (["thumbnail", file, png], thumbnail),
                                   (["extract", "--all", file, self.at("all")], every)]:
                with self.subTest(bomb=bomb, command=args[0]):
                    # Peak memory in KiB, through time: a child forked from this process would
                    # count this process's memory as its own.
                    run = subprocess.run(["/usr/bin/time", "-f", "%M", "-o", self.at("peak"), TOOL, *args],
                                         stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
                    with open(self.at("peak")) as peak:  # after "Command exited with…" if not 0
                        self.assertLessEqual(int(peak.read().split()[-1]), BOUND_MIB << 10)
                    self.assertEqual((run.returncode, run.stderr.count("\n")), (expected, 0 if expected == 0 else 1))
            self.assertEqual(os.path.exists(png), render == 0 or thumbnail == 0, bomb)
            self.assertEqual(os.path.exists(ico), extract == 0, bomb)
            shutil.rmtree(self.dir)
            os.mkdir(self.dir)

    def test_render_and_thumbnail_write_the_pictures_pixels(self):
        # At 48 notepad's 48x48 32-bit image is drawn unscaled: ImageMagick's own decoding of
        # it, flattened on white, must agree (ImageMagick rounds the blend its own way).
        notepad = WINE + "/notepad.exe"
        self.assertEqual(tool("render", "--size", "48", notepad, "0", self.at("ours.png"))[0], 0)
        self.assertEqual(tool("extract", notepad, "0", self.at("group.ico"))[0], 0)
        ours = rgb_on_white(self.at("ours.png"))
        self.assertEqual(len(ours), 48 * 48 * 3)
        self.assertLessEqual(worst_difference(ours, rgb_on_white(self.at("group.ico") + "[1]")), 1)
        # A thumbnail goes into the file it is given, which a reader that opened it first sees:
        # the PNG signature, IHDR's width 128 (big-endian) and colour type 6, RGBA.
        with open(self.file("thumb.png", b"x"), "rb") as reader:
            self.assertEqual(tool("thumbnail", notepad, self.at("thumb.png"))[0], 0)
            head = reader.read(26)
        self.assertEqual((head[1:4], head[16:20], head[25]), (b"PNG", b"\0\0\0\x80", 6))

    def test_list_and_extract_every_group(self):
        self.assertEqual(tool("list", "--json", STUB)[1], (
            '{"file": "%s", "kind": "PE", "icons": [\n  {"index": 0, "id": 103, "images": '
            '[{"width": 32, "height": 32, "bits": 4, "format": "DIB", "bytes": 744}]}\n]}\n') % STUB)
        # Names with quotes, backslashes and control characters stay valid JSON; a PNG whose
        # entry gives no bit count has 32.
        blue = (16, 16, 0, 1, b.png([0xFF0000FF] * 256, 16, 16))
        named = listed(self.file("named.dll", b.pe(b.group('A"B\\C\tD', [blue]))))
        self.assertEqual((named[0]["name"], named[0]["images"][0]["bits"]), ('A"B\\C\tD', 32))
        shell32 = WINE + "/shell32.dll"
        self.assertEqual(tool("extract", "--all", shell32, self.at("all"))[0], 0)
        self.assertEqual(len(os.listdir(self.at("all"))), len(wrestool_groups(shell32)))
        # Each file is the group as wrestool writes it, which adds as many stray bytes as the
        # group directory is long; and it reads back as one icon.
        subprocess.run(["wrestool", "-x", "--type=14", "--name=1", "-o", self.at("theirs.ico"),
                        shell32], check=True)
        group = Path(self.at("all/2-1.ico")).read_bytes()
        self.assertGreater(len(group), 20000)
        self.assertEqual(Path(self.at("theirs.ico")).read_bytes()[:len(group)], group)
        self.assertEqual(tool("count", self.at("all/2-1.ico")), (0, "1\n"))

    def test_failures_say_why_and_leave_no_file(self):
        # A command line, its exit status, and a part of its one-line message.
        for args, status, message in [
                (["count", self.at("nothing.dll")], 2, "nothing.dll: no such file"),
                (["count", self.dir], 2, "cannot be read"),
                (["render", STUB, "1", self.at("out.png")], 1, "icon 1: no such icon"),
                (["extract", STUB, "5", self.at("out.ico")], 1, "icon 5: no such icon"),
                (["render", STUB, "-1", self.at("out.png")], 2, "bad INDEX '-1'"),
                (["extract", STUB, "one", self.at("out.ico")], 2, "bad INDEX 'one'"),
                (["render", STUB, "0", self.at("no/such/dir/out.png")], 2, "out.png"),
                (["show", STUB], 2, "bad command line"),
                (["thumbnail", FONTS + "/coure.fon", self.at("t.png")], 1, "icon 0: no such icon"),
                (["thumbnail", "-s", "513", STUB, self.at("t.png")], 2, "bad SIZE '513'"),
                (["count", "--json", STUB], 2, "bad command line"),
                ([], 2, "no command")]:
            code, out = tool(*args)
            self.assertEqual((code, out.count("\n")), (status, 1), args)
            self.assertIn(message, out)
        self.assertEqual(os.listdir(self.dir), [])  # no partial or temporary files
        self.assertIn("1.0.0.0", tool("--version")[1])

    def test_outputs_that_are_not_regular_files_are_written_through(self):
        # A link stays a link and its file gets the picture; a pipe stays a pipe and is read.
        # (A file renamed over /dev/null once replaced the device.)
        os.symlink(self.file("real.png", b"old"), self.at("link.png"))
        self.assertEqual(tool("render", STUB, "0", self.at("link.png"))[0], 0)
        self.assertTrue(os.path.islink(self.at("link.png")))
        self.assertEqual(Path(self.at("real.png")).read_bytes()[:4], b"\x89PNG")
        os.mkfifo(self.at("pipe"))
        reader = subprocess.Popen(["timeout", "10", "cat", self.at("pipe")], stdout=subprocess.PIPE)
        self.assertEqual(tool("extract", STUB, "0", self.at("pipe"))[0], 0)
        self.assertEqual(tool("count", self.file("piped.ico", reader.communicate()[0])), (0, "1\n"))
        self.assertTrue(os.path.exists(self.at("pipe")) and not os.path.isfile(self.at("pipe")))


class RealFiles(InADirectory):
    def test_groups_agree_with_wrestool(self):
        files = sorted(glob.glob(WINE + "/*") + glob.glob(NSIS + "/Stubs/*") +
                       glob.glob(NSIS + "/Contrib/Graphics/Icons/*") + glob.glob(FONTS + "/*"))
        self.assertGreater(len(files), 700, "install wine64, fonts-wine and nsis (see .ci/setup)")
        kinds = {"icons": 0, "fonts": 0, "ico": 0}
        for path in files:
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
        samples = [(WINE + "/shell32.dll", 40), (WINE + "/user32.dll", 10), (WINE + "/comctl32.dll", 10),
                   (WINE + "/explorer.exe", 10), (STUB, 1), (NSIS + "/Stubs/lzma-amd64-unicode", 1)]
        samples += [(f, 1) for f in glob.glob(NSIS + "/Contrib/Graphics/Icons/*.ico")]
        compared = 0
        for path, groups in samples:
            for icon in listed(path)[:groups]:
                images = icon["images"]
                sizes = [(m["width"], m["height"]) for m in images]
                if (32, 32) not in sizes:
                    continue
                chosen = max((i for i, s in enumerate(sizes) if s == (32, 32)), key=lambda i: (images[i]["bits"], -i))
                ico = path
                if not path.endswith(".ico"):
                    ico = self.at("group.ico")
                    subprocess.run(["wrestool", "-x", "--type=14", "--name=%s" % icon.get("name", icon.get("id")),
                                    "-o", ico, path], check=True)
                self.assertEqual(tool("render", path, str(icon["index"]), self.at("ours.png"))[0], 0)
                self.assertLessEqual(worst_difference(rgb_on_white(self.at("ours.png")),
                                                      rgb_on_white("%s[%d]" % (ico, chosen))), 1,
                                     (path, icon["index"]))
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
            png = [i for i, m in enumerate(images) if (m["width"], m["bits"], m["format"]) == (256, 32, "PNG")]
            if not png:
                continue
            self.assertEqual(tool("extract", path, "0", self.at("group.ico"))[0], 0)
            expected = premultiplied_rgba(self.at("group.ico") + "[%d]" % png[0])
            for size, pixels, tolerance in [(256, expected, 0), (128, halved(expected, 256), 1)]:
                self.assertEqual(tool("thumbnail", "-s", str(size), path, self.at("ours.png"))[0], 0)
                ours = premultiplied_rgba(self.at("ours.png"))
                self.assertLessEqual(worst_difference(ours, pixels), tolerance, (path, size))
            checked += 1
        self.assertGreaterEqual(checked, 10)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1] + sys.argv[3:])
