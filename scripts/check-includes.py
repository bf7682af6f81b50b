#!/usr/bin/env python3
"""Fails when a source file includes a folder it must not: the plug-in's folders depend one
way only (support, then params, then raster, then render and ui, then entry), nothing includes
entry/, and the command line, the host and the benchmarks stay out of the plug-in's insides.

Usage: check-includes.py [SOURCE_DIR]"""
import pathlib
import re
import sys

# Which project folders each folder may include from (its own always).
ALLOWED = {
    "support": set(),
    "params": {"support"},
    "raster": {"support", "params"},
    "render": {"support", "params", "raster"},
    "ui": {"support", "params", "resources"},
    "entry": {"support", "params", "raster", "render", "ui"},
    # The command line and the host drive the plug-in through the host only; what they
    # share with it are header-only tables: the control identifiers, the menu values, the sample
    # grid.
    "cli": {"host", "platform", "resources", "params/ParamIndex.h", "params/MenuValues.h",
            "raster/SampleGrid.h"},
    "host": {"platform", "resources", "params/ParamIndex.h"},
}
PROJECT = {"support", "params", "raster", "render", "ui", "entry", "cli", "host", "platform",
           "resources", "tests", "bench"}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def allowed(folder, target):
    head = target.split("/", 1)[0]
    if head not in PROJECT or head == folder:
        return True
    rules = ALLOWED[folder]
    return head in rules or target in rules


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()
    wrong = []
    for folder in ALLOWED:
        for path in sorted((root / folder).glob("*")):
            if path.suffix not in (".h", ".cpp"):
                continue
            for target in INCLUDE.findall(path.read_text(encoding="utf-8", errors="replace")):
                if not allowed(folder, target):
                    wrong.append(f"{path.relative_to(root)}: includes {target}")
    for line in wrong:
        print(line)
    if wrong:
        print(f"{len(wrong)} include(s) against the folders' direction")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
