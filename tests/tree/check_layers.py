#!/usr/bin/env python3
"""Fails when a file under src/ includes a header of a layer above its own.

Layers from the ground up: common; formats and support; engine; platform; shell. A folder includes its own layer's
headers and those of the layers below, never those of a sibling on its own layer. A `ui` subfolder holds the
widgets of its folder: it may include what its folder may, its folder itself, the platform layer and the ui
subfolders of the layers below; only ui code and the shell include a ui subfolder. Tools under src/support/tool
count as their folder. Usage: check_layers.py <repository root>
"""
import pathlib
import re
import sys

LAYER = {"common": 0, "formats": 1, "support": 1, "engine": 2, "platform": 3, "shell": 4}
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"', re.MULTILINE)


def unit(relative):
    """The folder a path under src/ belongs to, and whether it is the folder's ui part."""
    parts = pathlib.PurePosixPath(relative).parts
    return parts[0], len(parts) > 2 and parts[1] == "ui"


def allowed(source, target):
    (folder, ui), (other, other_ui) = source, target
    if folder not in LAYER or other not in LAYER:
        return False
    if folder == other:
        return ui or not other_ui
    if other_ui:
        return (ui and LAYER[other] < LAYER[folder]) or folder == "shell"
    if ui and other == "platform":
        return True
    return LAYER[other] < LAYER[folder]


def violations(root):
    src = root / "src"
    for path in sorted(src.rglob("*")):
        if path.suffix not in (".cpp", ".h"):
            continue
        relative = path.relative_to(src).as_posix()
        for included in INCLUDE.findall(path.read_text(encoding="utf-8", errors="replace")):
            if "/" not in included:
                # Beside the file itself.
                included = (pathlib.PurePosixPath(relative).parent / included).as_posix()
            elif not (src / included).exists() and unit(included)[0] not in LAYER:
                # A header the build generates into a layer's folder is judged by that folder; any other is unknown.
                yield f"src/{relative}: includes {included}, which is not under src/"
                continue
            if not allowed(unit(relative), unit(included)):
                yield f"src/{relative}: includes {included}, which its layer may not (docs/architecture.md)"


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()
    found = list(violations(root))
    for line in found:
        print(line)
    checked = sum(1 for p in (root / "src").rglob("*") if p.suffix in (".cpp", ".h"))
    print(f"{checked} files checked, {len(found)} includes break the layer rule")
    return 1 if found or checked == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
