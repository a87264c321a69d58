#!/usr/bin/python3
"""Lines of tests against lines of product code, as the team counts them: non-blank lines that
are not only a comment. Product: the C++ of app/, browser/, about/, platform/ and
tools/quorvane-icons/; tests: every C++ source, shell script and Python script under tests/,
support and builders included. Prints the counts, the ratio, and the largest test files.
usage: tools/dev/test-lines.py [CHECKOUT]"""
import os
import re
import subprocess
import sys

root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "..")
# The project's files, in a git checkout and in an unpacked source tree alike.
sources = os.path.join(root, "tools", "dev", "sources.sh")
files = [f[2:] for f in subprocess.run([sources, "*.cpp", "*.h", "*.sh", "*.py"], capture_output=True,
                                       text=True, check=True).stdout.split("\0") if f]
CPP = (".cpp", ".h")


def lines(path):
    text = open(os.path.join(root, path), errors="replace").read()
    comment = "//" if path.endswith(CPP) else "#"
    if path.endswith(CPP):
        text = re.sub(r"/\*.*?\*/", "", text, flags=re.S)
    return sum(1 for line in text.splitlines() if line.strip() and not line.strip().startswith(comment))


product = {f: lines(f) for f in files if f.endswith(CPP) and
           f.split("/")[0] in ("app", "browser", "about", "platform", "tools") and not f.startswith("tools/dev/")}
tests = {f: lines(f) for f in files if f.startswith("tests/") and f.endswith(CPP + (".sh", ".py"))}
total_product, total_tests = sum(product.values()), sum(tests.values())
print(f"test lines: {total_tests}, product lines: {total_product}, "
      f"ratio {total_tests / total_product:.2f} (the rule: at most 0.40)")
for path, count in sorted(tests.items(), key=lambda item: -item[1])[:5]:
    print(f"  {count:5} {path}")
