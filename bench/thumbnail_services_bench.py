"""Time a thumbnail takes through the services that file managers use: GNOME's thumbnail
factory, which starts a bubblewrap sandbox for every thumbnail, and tumbler on D-Bus, against
gdk-pixbuf's thumbnailer through the same factory on .ico files, with a Release build
installed under /usr as the thumbnail test installs it. Prints Markdown for docs/performance.md.
usage: tools/dev/over-usr.sh RELEASE_BUILD /usr/bin/python3 bench/thumbnail_services_bench.py"""

import glob
import os
import statistics
import subprocess
import tempfile
import time

WINE = "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows"
ROUNDS = 5


def programs():
    """Wine's programs with icons."""
    count = lambda f: subprocess.run(
        ["/usr/bin/quorvane-icons", "count", f], capture_output=True
    ).stdout
    return [f for f in sorted(glob.glob(WINE + "/*.exe")) if count(f).strip() != b"0"][:20]


def icons():
    return sorted(glob.glob("/usr/share/nsis/Contrib/Graphics/Icons/*.ico"))[:20]


def factory_times(files, size_name):
    """Milliseconds a thumbnail through GNOME's factory, each file thumbnailed ROUNDS times."""
    import gi

    gi.require_version("GnomeDesktop", "4.0")
    from gi.repository import Gio, GnomeDesktop

    size = getattr(GnomeDesktop.DesktopThumbnailSize, size_name)
    factory = GnomeDesktop.DesktopThumbnailFactory.new(size)
    times = []
    for _ in range(ROUNDS):
        for path in files:
            info = Gio.File.new_for_path(path).query_info("standard::content-type", 0, None)
            start = time.perf_counter()
            factory.generate_thumbnail("file://" + path, info.get_content_type(), None)
            times.append((time.perf_counter() - start) * 1e3)
    return times


def tumbler_times(files, flavour):
    """Milliseconds a thumbnail through tumbler: one request for all the files, from Queue to
    Finished, divided by their number; a fresh cache each round."""
    from gi.repository import Gio, GLib

    name = "org.freedesktop.thumbnails.Thumbnailer1"
    path = "/org/freedesktop/thumbnails/Thumbnailer1"
    times = []
    bus = Gio.bus_get_sync(Gio.BusType.SESSION)
    finished = []
    ready = []
    bus.signal_subscribe(
        None, name, "Finished", path, None, 0, lambda *s: finished.append(s[5].unpack()[0])
    )
    bus.signal_subscribe(
        None, name, "Ready", path, None, 0, lambda *s: ready.extend(s[5].unpack()[1])
    )
    while len(times) < ROUNDS:
        finished.clear()
        ready.clear()
        cache = tempfile.mkdtemp()
        service = subprocess.Popen(
            ["/usr/lib/x86_64-linux-gnu/tumbler-1/tumblerd"],
            env=dict(os.environ, XDG_CACHE_HOME=cache),
        )
        owner = (
            "org.freedesktop.DBus",
            "/org/freedesktop/DBus",
            "org.freedesktop.DBus",
            "NameHasOwner",
        )
        while not bus.call_sync(*owner, GLib.Variant("(s)", (name,)), None, 0, -1, None).unpack()[
            0
        ]:
            time.sleep(0.05)
        types = [
            Gio.File.new_for_path(f)
            .query_info("standard::content-type", 0, None)
            .get_content_type()
            for f in files
        ]
        request = GLib.Variant(
            "(asasssu)", (["file://" + f for f in files], types, flavour, "default", 0)
        )
        start = time.perf_counter()
        handle = bus.call_sync(name, path, name, "Queue", request, None, 0, -1, None).unpack()[0]
        deadline = time.monotonic() + 30
        while handle not in finished and time.monotonic() < deadline:
            GLib.MainContext.default().iteration(False)
        # A service that answers before it has read its thumbnailers fails every file: such a
        # round does not count.
        if len(ready) == len(files):
            times.append((time.perf_counter() - start) * 1e3 / len(files))
        service.terminate()
        service.wait()
    return times


def row(label, times):
    print(
        f"| {label} | {statistics.median(times):.1f} ms | {min(times):.1f} ms | {max(times):.1f} ms |"
    )


if __name__ == "__main__":
    os.environ.update(HOME=tempfile.mkdtemp(), XDG_CACHE_HOME=tempfile.mkdtemp())
    print(
        f"{len(programs())} wine programs, {len(icons())} NSIS .ico files; median, least and most of {ROUNDS} rounds."
    )
    print()
    print("| service, files, size | a thumbnail | least | most |")
    print("|---|---|---|---|")
    row("GNOME's factory (sandbox), wine programs, 256", factory_times(programs(), "LARGE"))
    row("GNOME's factory (sandbox), wine programs, 1024", factory_times(programs(), "XXLARGE"))
    row("GNOME's factory, `.ico` by gdk-pixbuf-thumbnailer, 256", factory_times(icons(), "LARGE"))
    row("tumbler, wine programs, 256", tumbler_times(programs(), "large"))
