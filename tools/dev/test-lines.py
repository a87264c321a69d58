#!/usr/bin/python3
# The size of the tests against the product, as the team's rule counts it: non-blank lines that
# are not only a comment, and words and symbols a line. Product: the C++ of app/, browser/,
# about/, platform/ and tools/ (not tools/dev/); tests: every C++ source, shell script and
# Python script under tests/, support and builders included. The tests may be at most 0.36 of
# the product's lines, at most 1.25 times as dense. Prints both and the largest test files;
# exits 1 past either bound.
# usage: tools/dev/test-lines.py [CHECKOUT]
import os
import re
import subprocess
import sys

root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "..")
# The project's files, in a git checkout and in an unpacked source tree alike.
sources = os.path.join(root, "tools", "dev", "sources.sh")
listed = subprocess.run([sources, "*.cpp", "*.h", "*.sh", "*.py"], capture_output=True, text=True)
files = [f[2:] for f in listed.stdout.split("\0") if f]
CPP = (".cpp", ".h")


# The counted lines of a file, and their words and symbols.
def size(path):
    text = open(os.path.join(root, path), errors="replace").read()
    comment = "//" if path.endswith(CPP) else "#"
    if path.endswith(CPP):
        text = re.sub(r"/\*.*?\*/", "", text, flags=re.S)
    counted = [line.strip() for line in text.splitlines()]
    counted = [line for line in counted if line and not line.startswith(comment)]
    return len(counted), sum(len(re.findall(r"\w+|[^\w\s]", line)) for line in counted)


def total(paths):
    sizes = [size(path) for path in paths]
    return sum(s[0] for s in sizes), sum(s[1] for s in sizes)


product = [
    f
    for f in files
    if f.endswith(CPP)
    and f.split("/")[0] in ("app", "browser", "about", "platform", "tools")
    and not f.startswith("tools/dev/")
]
tests = [f for f in files if f.startswith("tests/") and f.endswith(CPP + (".sh", ".py"))]
(product_lines, product_words), (test_lines, test_words) = total(product), total(tests)
ratio = test_lines / product_lines
density = (test_words / test_lines) / (product_words / product_lines)
print(f"test lines: {test_lines}, product lines: {product_lines}, ratio {ratio:.3f} (at most 0.36)")
print(f"words and symbols a line: tests {density:.3f} times the product's (at most 1.25)")
for path in sorted(tests, key=lambda path: -size(path)[0])[:5]:
    print(f"  {size(path)[0]:5} {path}")
sys.exit(0 if ratio <= 0.36 and density <= 1.25 else 1)
