"""The thumbnailer entry, installed under /usr, through the thumbnail services that file managers
use: GNOME's thumbnail factory (GNOME Files), which runs every entry in a bubblewrap sandbox
that sees /usr and nothing of the user's, and tumbler (Thunar) on D-Bus. Real files that nobody
here wrote, at every size a desktop asks for; a file without icons gets a failure, and the
files after it still get their thumbnails. Run with its own home and cache, in a D-Bus session
of its own, with the build installed under /usr (tools/dev/over-usr.sh).
usage: tools/dev/over-usr.sh BUILD_DIR thumbnailers.py gnome|tumbler"""

import hashlib
import os
import struct
import subprocess
import sys
import tempfile
import time

WINE = "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows"
WITH_ICONS = [
    WINE + "/notepad.exe",
    WINE + "/shell32.dll",
    WINE + "/winemine.exe",
    "/usr/share/nsis/Stubs/zlib-x86-unicode",  # an installer stub, no extension
]
WITHOUT_ICONS = "/usr/share/wine/fonts/coure.fon"  # an NE font: a program's type, no icons
# The sizes that desktops ask for, by the names of the thumbnail standard's folders.
FLAVOURS = {"normal": 128, "large": 256, "x-large": 512, "xx-large": 1024}


def fail(message):
    sys.exit(f"FAILED: {message}")


def largest_side(path):
    """The largest side of the images of PATH's first icon group, as icoutils reads them."""
    listing = subprocess.run(["wrestool", "-l", "--type=14", path], capture_output=True, text=True)
    name = listing.stdout.split()[1].removeprefix("--name=").strip("'")
    with tempfile.NamedTemporaryFile(suffix=".ico") as group:
        subprocess.run(["wrestool", "-x", "--type=14", "--name=" + name, "-o", group.name, path], check=True)
        images = subprocess.run(["icotool", "-l", group.name], capture_output=True, text=True)
    words = images.stdout.split()
    return max(int(word.split("=")[1]) for word in words if word.startswith("--width="))


def uri(path):
    return "file://" + path


def cached(cache, flavour, path):
    """Where the thumbnail standard keeps PATH's thumbnail of FLAVOUR."""
    return os.path.join(cache, "thumbnails", flavour, hashlib.md5(uri(path).encode()).hexdigest() + ".png")


def png_facts(png):
    """A PNG's width, height and colour type (6: RGBA), and its tEXt keys with their values."""
    data = open(png, "rb").read()
    width, height, _, colour_type = struct.unpack(">IIBB", data[16:26])
    texts = {}
    at = 8
    while at + 8 <= len(data):
        length, kind = struct.unpack(">I4s", data[at : at + 8])
        if kind == b"tEXt":
            key, _, value = data[at + 8 : at + 8 + length].partition(b"\0")
            texts[key.decode()] = value.decode()
        at += 12 + length
    return width, height, colour_type, texts


def check_thumbnail(png, path, size):
    """A thumbnail must show the icon's largest image, shrunk to SIZE when it is larger, with
    alpha, and name its file."""
    if not os.path.exists(png):
        fail(f"no {size} thumbnail of {path}")
    width, height, colour_type, texts = png_facts(png)
    side = min(size, largest_side(path))
    found = (width, height, colour_type, texts.get("Thumb::URI"))
    if found != (side, side, 6, uri(path)):
        fail(f"the {size} thumbnail of {path} is {found}, not {side}x{side} RGBA")


def gnome(cache):
    """Thumbnails through GNOME's factory, as GNOME Files asks for them: the failed file gets a
    failure entry, and every other file its thumbnail at every size."""
    import gi

    gi.require_version("GnomeDesktop", "4.0")
    from gi.repository import Gio, GLib, GnomeDesktop

    sizes = {"normal": "NORMAL", "large": "LARGE", "x-large": "XLARGE", "xx-large": "XXLARGE"}
    for flavour, size in FLAVOURS.items():
        factory = GnomeDesktop.DesktopThumbnailFactory.new(getattr(GnomeDesktop.DesktopThumbnailSize, sizes[flavour]))
        for path in [WITHOUT_ICONS] + WITH_ICONS:
            info = Gio.File.new_for_path(path).query_info("standard::content-type,time::modified", 0, None)
            mtime = info.get_attribute_uint64("time::modified")
            try:
                pixbuf = factory.generate_thumbnail(uri(path), info.get_content_type(), None)
                factory.save_thumbnail(pixbuf, uri(path), mtime, None)
            except GLib.Error as error:
                if path != WITHOUT_ICONS:
                    fail(f"no {size} thumbnail of {path}: {error.message}")
                factory.create_failed_thumbnail(uri(path), mtime, None)
        for path in WITH_ICONS:
            check_thumbnail(cached(cache, flavour, path), path, size)
    failed = os.listdir(os.path.join(cache, "thumbnails", "fail", "gnome-thumbnail-factory"))
    if failed != [os.path.basename(cached(cache, "fail", WITHOUT_ICONS))]:
        fail(f"failure entries: {failed}")


def tumbler(cache):
    """Thumbnails through tumbler, one flavour after the other (it drops a waiting request for a
    file when another names the same file); every flavour's thumbnails stay when the next is
    made, and the file without icons gets an error."""
    from gi.repository import Gio, GLib

    name = "org.freedesktop.thumbnails.Thumbnailer1"
    path = "/org/freedesktop/thumbnails/Thumbnailer1"
    service = subprocess.Popen(["/usr/lib/x86_64-linux-gnu/tumbler-1/tumblerd"])
    bus = Gio.bus_get_sync(Gio.BusType.SESSION)
    signals = []  # (member, parameters) of every signal the service sends us
    bus.signal_subscribe(None, name, None, path, None, 0, lambda *s: signals.append((s[4], s[5].unpack())))
    context = GLib.MainContext.default()
    # Waiting for the name without asking for it, so that the bus starts no second service.
    owner = ("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "NameHasOwner")
    for _ in range(200):
        if bus.call_sync(*owner, GLib.Variant("(s)", (name,)), None, 0, -1, None).unpack()[0]:
            break
        time.sleep(0.1)
    files = WITH_ICONS + [WITHOUT_ICONS]
    types = [Gio.File.new_for_path(f).query_info("standard::content-type", 0, None).get_content_type() for f in files]
    for flavour, size in FLAVOURS.items():
        request = GLib.Variant("(asasssu)", ([uri(f) for f in files], types, flavour, "default", 0))
        handle = bus.call_sync(name, path, name, "Queue", request, None, 0, -1, None).unpack()[0]
        deadline = time.monotonic() + 30
        while ("Finished", (handle,)) not in signals and time.monotonic() < deadline:
            context.iteration(False)
            time.sleep(0.01)
        for done in FLAVOURS:
            for file in WITH_ICONS:
                check_thumbnail(cached(cache, done, file), file, FLAVOURS[done])
            if done == flavour:
                break
    if not any(member == "Error" and uri(WITHOUT_ICONS) in p[1] for member, p in signals):
        fail(f"no error for {WITHOUT_ICONS}")
    if service.poll() is not None:
        fail("tumbler did not keep running")
    service.terminate()


if __name__ == "__main__":
    home = tempfile.mkdtemp(prefix="quorvane-home-")
    os.environ.update(HOME=home, XDG_CACHE_HOME=home + "/.cache")
    if not os.path.exists("/usr/share/thumbnailers/quorvane.thumbnailer"):
        fail("the entry is not installed under /usr (run through tools/dev/over-usr.sh)")
    if subprocess.run(["bwrap", "--ro-bind", "/", "/", "/bin/true"]).returncode != 0:
        fail("bubblewrap cannot make a sandbox here (user namespaces?): GNOME's factory needs one")
    (gnome if sys.argv[1] == "gnome" else tumbler)(home + "/.cache")
    print(f"{sys.argv[1]}: {len(WITH_ICONS)} files with icons at {len(FLAVOURS)} sizes, 1 without: passed")
