# The thumbnailer entry through GNOME's thumbnail factory, as GNOME Files asks for thumbnails:
# the factory runs the installed entry in its bubblewrap sandbox, which sees /usr and nothing of
# the user's, behind a seccomp filter. At every size a desktop asks for, each real file's
# thumbnail must be the picture that the tool writes outside the sandbox.
# usage (the build installed under /usr): tools/dev/over-usr.sh BUILD python3 gnome_factory.py
#   or, with the package installed, on the given files: python3 gnome_factory.py FILE…

import os
import subprocess
import sys
import tempfile

import gi

gi.require_version("GnomeDesktop", "4.0")
gi.require_version("GdkPixbuf", "2.0")
from gi.repository import GdkPixbuf, Gio, GnomeDesktop

WINE = "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows"
FILES = sys.argv[1:] or [
    WINE + "/notepad.exe",
    WINE + "/shell32.dll",
    # an installer stub, without extension
    "/usr/share/nsis/Stubs/zlib-x86-unicode",
]
# The sizes, by the factory's names for them.
SIZES = {128: "NORMAL", 256: "LARGE", 512: "XLARGE", 1024: "XXLARGE"}


def from_factory(factory, path):
    info = Gio.File.new_for_path(path).query_info("standard::content-type", 0, None)
    return factory.generate_thumbnail("file://" + path, info.get_content_type(), None)


def facts(pixbuf):
    return pixbuf.get_width(), pixbuf.get_height(), pixbuf.read_pixel_bytes().get_data()


os.environ["HOME"] = tempfile.mkdtemp(prefix="quorvane-home-")
direct = os.path.join(os.environ["HOME"], "direct.png")
for size, name in SIZES.items():
    kind = getattr(GnomeDesktop.DesktopThumbnailSize, name)
    factory = GnomeDesktop.DesktopThumbnailFactory.new(kind)
    for path in FILES:
        command = ["/usr/bin/quorvane-icons", "thumbnail", "-s", str(size), path, direct]
        subprocess.run(command, check=True)
        want = facts(GdkPixbuf.Pixbuf.new_from_file(direct))
        if facts(from_factory(factory, path)) != want:
            sys.exit(f"FAILED: the factory's {size} thumbnail of {path} is not the tool's")
print("GNOME's thumbnail factory: every file at every size")
