#!/usr/bin/python3
"""Applies plausible faults to the product one at a time and reports which ones no test catches.

For each fault: the source is changed in a scratch copy of the committed tree (a git worktree),
the `dev` build is rebuilt and its tests are run; the fault is caught when a test fails. The
working tree is never touched. A fault whose text is not found, or whose change does not
compile, is reported as such: the list must then be brought up to date.

usage: tools/dev/mutation-check.py [--only ID,...] [--keep DIR] [--jobs N] [--check]
Prints a Markdown table (for docs/testing.md) and the score; exits 1 when a fault is stale.
"""
import argparse
import os
import re
import subprocess
import sys
import tempfile
import time

# (id, file, text to find (exactly once), replacement, what the fault is)
FAULTS = [
    # The icon reader
    (
        "blend-rounding",
        "platform/icons/src/Drawing.cpp",
        "(s * a + t * (255 - a) + 127) / 255",
        "(s * a + t * (255 - a)) / 255",
        "alpha blend without its rounding term",
    ),
    (
        "ne-align-shift",
        "platform/icons/src/NeResources.cpp",
        "r.extent = {std::uint64_t{info.rnOffset} << shift,",
        "r.extent = {std::uint64_t{info.rnOffset} << 4,",
        "NE resource offsets shifted by 4 whatever the file says",
    ),
    (
        "best-fit-width-only",
        "platform/icons/src/IconReader.cpp",
        "std::abs(e.height() - size)",
        "std::abs(e.width() - size)",
        "best-fit choice measures the width for both axes",
    ),
    (
        "dib-top-down",
        "platform/icons/src/Dib.cpp",
        "subspan((h - 1 - row) * stride, stride);\n        std::uint32_t* out",
        "subspan(row * stride, stride);\n        std::uint32_t* out",
        "DIB colour rows read top-down",
    ),
    (
        "nibble-order",
        "platform/icons/src/Dib.cpp",
        "(x % 2 ? 0 : 4)",
        "(x % 2 ? 4 : 0)",
        "4-bit pixels in the wrong nibble order",
    ),
    (
        "mask-bit-order",
        "platform/icons/src/Dib.cpp",
        "mask[row * w + x] = (m[x / 8] >> (7 - x % 8)) & 1;",
        "mask[row * w + x] = (m[x / 8] >> (x % 8)) & 1;",
        "AND mask bits read from the low end",
    ),
    (
        "rgb555-masks",
        "platform/icons/src/Dib.cpp",
        "red = Channel(0x7C00);",
        "red = Channel(0xF800);",
        "16-bit BI_RGB read as 5-6-5 red",
    ),
    (
        "dib-height-whole",
        "platform/icons/src/Dib.cpp",
        "d.height = storedHeight / 2;",
        "d.height = storedHeight;",
        "the DIB height taken without halving for the mask",
    ),
    (
        "core-palette-quads",
        "platform/icons/src/Dib.cpp",
        "d.paletteEntrySize = 3;",
        "d.paletteEntrySize = 4;",
        "BITMAPCOREHEADER palettes read as RGBQUADs",
    ),
    (
        "unpremultiplied-average",
        "platform/icons/src/Scaling.cpp",
        "r += ((p >> 16) & 0xFF) * alpha * weight;",
        "r += ((p >> 16) & 0xFF) * 255 * weight;",
        "area averaging of red ignores alpha",
    ),
    (
        "mask-sample-edge",
        "platform/icons/src/Scaling.cpp",
        "const std::size_t sy = std::min(sh - 1, (2 * y + 1) * sh / (2 * th));",
        "const std::size_t sy = std::min(sh - 1, y * sh / th);",
        "nearest-pixel scaling (masks, enlarging) sampled at the edge, not the centre",
    ),
    (
        "ico-count-zero-ok",
        "platform/icons/src/IcoDirectory.cpp",
        "if (!header || header->idCount == 0)",
        "if (!header)",
        "an .ico with idCount 0 accepted",
    ),
    (
        "pe32plus-directories",
        "platform/icons/src/PeResources.cpp",
        "directoriesAt = sizeof(ImageOptionalHeader64);",
        "directoriesAt = sizeof(ImageOptionalHeader32);",
        "PE32+ data directories read at the PE32 offset",
    ),
    (
        "group-entry-budget",
        "platform/icons/src/IconFile.cpp",
        "if (count > kMaxGroupEntries)",
        "if (count > 60000)",
        "groups not held to the entry budget",
    ),
    (
        "directory-not-cut",
        "platform/icons/src/IconFile.cpp",
        "std::min<std::uint64_t>(header->idCount, (held->length - sizeof(IconDir)) / sizeof(Record));",
        "std::uint64_t{header->idCount};",
        "a group directory's count believed past the end of the file",
    ),
    (
        "limit-exit-status",
        "tools/quorvane-icons/Commands.cpp",
        "        return kExitNoIcon;\n    case IconError::NotFound:\n    case IconError::Unreadable:\n"
        "    case IconError::TooLarge:\n",
        "    case IconError::TooLarge:\n        return kExitNoIcon;\n    case IconError::NotFound:\n"
        "    case IconError::Unreadable:\n",
        "a limit of the reader exits 1, as a missing icon does",
    ),
    (
        "png-bits-unknown",
        "platform/icons/src/IconFile.cpp",
        "facts.bitCount = 32;",
        "facts.bitCount = 0;",
        "a PNG without a bit count in its entry listed as 0 bpp",
    ),
    (
        "thumbnail-largest-fallback",
        "platform/icons/src/IconReader.cpp",
        "fits ? side : -side",
        "side",
        "when nothing covers the size, the smallest image is taken",
    ),
    (
        "thumbnail-enlarges",
        "platform/icons/src/IconReader.cpp",
        "    if (side <= size)\n        return withAlpha;\n",
        "",
        "thumbnails enlarged to the size",
    ),
    (
        "render-offset",
        "tools/quorvane-icons/Commands.cpp",
        "size, size}, 0, 0, *icon);",
        "size, size}, 1, 0, *icon);",
        "render draws one pixel right",
    ),
    (
        "json-quote-unescaped",
        "tools/quorvane-icons/Listing.cpp",
        "(c.value == '\"' || c.value == '\\\\')",
        "(c.value == '\\\\')",
        "a quote in a JSON string left unescaped",
    ),
    # The browsing state and the arrows
    (
        "single-icon-arrow",
        "browser/basQuorvane.cpp",
        "if (IconCount > 1) {",
        "if (IconCount >= 1) {",
        "the forward arrow shown for a file of one icon",
    ),
    (
        "index-not-reset",
        "browser/basQuorvane.cpp",
        "        IconIndex = 0;\n",
        "",
        "opening a file keeps the previous icon index",
    ),
    (
        "draw-at-origin",
        "browser/basQuorvane.cpp",
        "DrawIcon(form.pctIcon->hDC(), 2, 2, hIcon)",
        "DrawIcon(form.pctIcon->hDC(), 0, 0, hIcon)",
        "the first icon drawn at (0, 0)",
    ),
    (
        "no-icon-message-inverted",
        "browser/basQuorvane.cpp",
        "if (drawn == 0)",
        "if (drawn != 0)",
        "the no-icon message shown when the icon was drawn",
    ),
    (
        "picture-not-cleared",
        "browser/basQuorvane.cpp",
        "    form.pctIcon->Cls();\n",
        "",
        "opening a file leaves the old picture under the new one",
    ),
    (
        "last-arrow-off-by-one",
        "browser/frmQuorvane.cpp",
        "if (IconIndex == CInt(IconCount - 1))",
        "if (IconIndex == IconCount)",
        "the forward arrow stays at the last icon",
    ),
    (
        "first-arrow-off-by-one",
        "browser/frmQuorvane.cpp",
        "        if (IconIndex == 0)\n",
        "        if (IconIndex == 1)\n",
        "the back arrow hides one icon early",
    ),
    (
        "back-arrow-not-shown",
        "browser/frmQuorvane.cpp",
        "        cmdArrow(0)->setVisible(true);\n",
        "",
        "stepping forward does not show the back arrow",
    ),
    # The open and copy commands
    (
        "filter-index",
        "browser/MainCommands.cpp",
        "CMDialog1->FilterIndex = 1;",
        "CMDialog1->FilterIndex = 2;",
        "the dialog opens on All Files",
    ),
    (
        "file-must-exist",
        "browser/MainCommands.cpp",
        "OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST",
        "OFN_PATHMUSTEXIST",
        "the dialog accepts a file that does not exist",
    ),
    (
        "copy-button-wrong-item",
        "browser/MainCommands.cpp",
        "    case 1:\n        mnuEditItem_Click(0);",
        "    case 1:\n        mnuEditItem_Click(1);",
        "the copy button calls the wrong Edit item",
    ),
    (
        "copy-no-image",
        "browser/MainCommands.cpp",
        "        clipboardSetImage(pctIcon->Image());\n",
        "",
        "copy empties the clipboard and puts nothing on it",
    ),
    (
        "centre-factor",
        "browser/MainCommands.cpp",
        "(screenHeightTwips() * 0.85) / 2",
        "(screenHeightTwips() * 0.8) / 2",
        "the main window placed at 0.4 of the height",
    ),
    # Help access
    (
        "search-is-index",
        "browser/HelpAccess.cpp",
        "HELP_PARTIALKEY, 0);",
        "HELP_KEY, 0);",
        "keyword search sends HELP_KEY",
    ),
    (
        "no-help-quit",
        "browser/HelpAccess.cpp",
        "    WinHelpA(this, App().HelpFile, HELP_QUIT, 0);\n",
        "",
        "closing the window leaves the viewer running",
    ),
    (
        "about-item-index",
        "browser/HelpAccess.cpp",
        "    case 4:\n        about::frmAbout::ShowModal(this, windowIcon());",
        "    case 3:\n        about::frmAbout::ShowModal(this, windowIcon());",
        "the about item answers the separator's index",
    ),
    # The about window's texts
    (
        "version-space",
        "about/frmAbout.cpp",
        'QStringLiteral("Version ")',
        'QStringLiteral("Version")',
        "the version text without its space",
    ),
    (
        "version-minor",
        "about/frmAbout.cpp",
        "QString::number(App().Minor)",
        "QString::number(App().Revision)",
        "the revision shown in the minor number's place",
    ),
    (
        "grouping-by-four",
        "about/frmAbout.cpp",
        "(digits.size() - i) % 3 == 0",
        "(digits.size() - i) % 4 == 0",
        "memory digits grouped in fours",
    ),
    (
        "kilo-1000",
        "about/frmAbout.cpp",
        "totalBytes / 1024",
        "totalBytes / 1000",
        "memory in units of 1000 bytes",
    ),
    (
        "kb-space",
        "about/frmAbout.cpp",
        'QStringLiteral(" KB")',
        'QStringLiteral("KB")',
        "the memory text without the space before KB",
    ),
    # The launcher
    (
        "location-when-found",
        "about/SysInfoLauncher.cpp",
        "if (!found &&\n",
        "if (found &&\n",
        "the second registry entry read only when the first was found",
    ),
    (
        "chop-always",
        "about/SysInfoLauncher.cpp",
        "    if (data.endsWith('\\0'))\n        data.chop(1);",
        "    data.chop(1);",
        "the last byte of a string value dropped even when it is not a NUL",
    ),
    (
        "dword-three-bytes",
        "about/SysInfoLauncher.cpp",
        "std::min<qsizetype>(data.size(), 4)",
        "std::min<qsizetype>(data.size(), 3)",
        "a REG_DWORD read from three bytes",
    ),
    (
        "program-name-slash",
        "about/SysInfoLauncher.cpp",
        'QStringLiteral("/MSINFO32.EXE")',
        'QStringLiteral("MSINFO32.EXE")',
        "the program's name appended without a separator",
    ),
    # A module followed to its resource file
    (
        "mun-case-kept",
        "platform/icons/src/IconPath.cpp",
        "static_cast<char>(c + 32)",
        "c",
        "the SystemResources folder and the .mun matched with their case",
    ),
    (
        "mun-any-checksum",
        "platform/icons/src/IconPath.cpp",
        "file->muiChecksum() != checksum)",
        "false)",
        "a .mun taken whatever its checksum",
    ),
    (
        "mun-without-icons-taken",
        "platform/icons/src/IconPath.cpp",
        "|| file->groupCount() == 0 ||",
        "||",
        "a .mun without icon groups taken",
    ),
    (
        "module-with-icons-followed",
        "platform/icons/src/IconPath.cpp",
        "file->kind() == FileKind::Pe && file->groupCount() == 0",
        "file->kind() == FileKind::Pe",
        "a module with icons of its own followed to its .mun",
    ),
    (
        "mui-signature-unchecked",
        "platform/icons/src/IconFile.cpp",
        "configuration->dwSignature != records::kMuiSignature",
        "false",
        "a resource configuration taken without its signature",
    ),
    (
        "mui-any-type-name",
        "platform/icons/src/PeResources.cpp",
        'utf16ToUtf8(*name) == "MUI"',
        "true",
        "any named type of three characters taken as the configuration",
    ),
    (
        "count-not-followed",
        "platform/icons/src/IconReader.cpp",
        "return opened && opened->file ? opened->file->groupCount() : 0;",
        "auto s = FileSource::open(path);\n    return s ? countIcons(**s) : 0;",
        "the window counts a module's own icons only",
    ),
]


def run(command, cwd, log):
    """Runs the command, appends its output to the log; its exit status and its output."""
    result = subprocess.run(
        command,
        cwd=cwd,
        stdout=subprocess.PIPE,
        stderr=subprocess.STDOUT,
        text=True,
        errors="replace",
    )
    with open(log, "a") as out:
        out.write(result.stdout)
    return result.returncode, result.stdout


def failed_tests(output):
    """The names under ctest's "The following tests FAILED:"."""
    names = re.findall(r"^\s*\d+ - (\S+) \(", output.split("The following tests FAILED:")[-1], re.M)
    return ", ".join(f"`{name}`" for name in names)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--only", help="comma-separated fault ids")
    parser.add_argument("--keep", help="scratch directory to use and keep (reused when present)")
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 2)
    parser.add_argument(
        "--check",
        action="store_true",
        help="only check that each fault's text is found once in the working tree",
    )
    args = parser.parse_args()
    repo = subprocess.run(
        ["git", "rev-parse", "--show-toplevel"], capture_output=True, text=True, check=True
    ).stdout.strip()
    if args.check:
        bad = [
            f[0]
            for f in FAULTS
            if open(os.path.join(repo, f[1]), encoding="utf-8").read().count(f[2]) != 1
        ]
        print(f"{len(FAULTS)} faults, stale: {', '.join(bad) or 'none'}")
        sys.exit(1 if bad else 0)
    faults = FAULTS
    if args.only:
        wanted = set(args.only.split(","))
        faults = [f for f in FAULTS if f[0] in wanted]
    scratch = args.keep or tempfile.mkdtemp(prefix="quorvane-mutation-")
    tree = os.path.join(scratch, "tree")
    log = os.path.join(scratch, "log.txt")
    if not os.path.isdir(tree):
        subprocess.run(
            ["git", "-C", repo, "worktree", "add", "--detach", tree, "HEAD"],
            check=True,
            capture_output=True,
        )
    build = ["cmake", "--build", "--preset", "dev", "-j", str(args.jobs)]
    test = [
        "ctest",
        "--preset",
        "dev",
        "-j",
        str(args.jobs),
        "--stop-on-failure",
        "--timeout",
        "300",
        # The help's own tests run no code of the program.
        "--exclude-regex",
        "^Help",
    ]
    if (
        run(["cmake", "--preset", "dev"], tree, log)[0]
        or run(build, tree, log)[0]
        or run(test, tree, log)[0]
    ):
        sys.exit(f"the unchanged tree does not build or pass its tests: see {log}")

    rows, caught, stale = [], 0, 0
    for ident, path, find, replace, what in faults:
        source = os.path.join(tree, path)
        original = open(source, encoding="utf-8").read()
        if original.count(find) != 1:
            rows.append((ident, path, what, "stale: text not found once"))
            stale += 1
            continue
        start = time.monotonic()
        open(source, "w", encoding="utf-8").write(original.replace(find, replace))
        try:
            if run(build, tree, log)[0]:
                verdict = "does not compile"
                stale += 1
            else:
                status, output = run(test, tree, log)
                caught += status != 0
                verdict = "caught by " + failed_tests(output) if status else "**not caught**"
        finally:
            open(source, "w", encoding="utf-8").write(original)
        rows.append((ident, path, what, f"{verdict} ({time.monotonic() - start:.0f} s)"))
        print(f"{ident}: {verdict}", file=sys.stderr, flush=True)
    run(build, tree, log)  # leave the scratch build matching the tree

    print("| fault | file | what | result |")
    print("|---|---|---|---|")
    for ident, path, what, verdict in rows:
        print(f"| `{ident}` | `{path}` | {what} | {verdict} |")
    print(f"\n{caught} of {len(faults)} faults caught.")
    if not args.keep:
        subprocess.run(
            ["git", "-C", repo, "worktree", "remove", "--force", tree], capture_output=True
        )
    sys.exit(1 if stale else 0)


if __name__ == "__main__":
    main()
