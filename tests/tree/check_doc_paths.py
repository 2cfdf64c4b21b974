#!/usr/bin/env python3
"""Fails when a document names a path of the repository that does not exist.

A path is any `quoted` word with a slash (src/engine/layout.cpp, scripts/); a pattern (bench/compare_*.sh) must
match a file. Paths into the build folder and the user's home are left out.
Usage: check_doc_paths.py <repository root> <document>...
"""
import pathlib
import re
import sys

QUOTED = re.compile(r"`([^`\s]+)`")


def named_paths(text):
    for word in QUOTED.findall(text):
        if "/" in word and not word.startswith(("build/", "/", "~", "$", "-")):
            yield word


def exists(root, path):
    return any(root.glob(path)) if "*" in path else (root / path).exists()


def main():
    root = pathlib.Path(sys.argv[1]).resolve()
    missing = []
    checked = 0
    for document in sys.argv[2:]:
        text = (root / document).read_text(encoding="utf-8")
        for path in named_paths(text):
            checked += 1
            if not exists(root, path):
                missing.append(f"{document}: {path} does not exist")
    print("\n".join(missing + [f"{checked} paths checked, {len(missing)} missing"]))
    return 1 if missing or checked == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
