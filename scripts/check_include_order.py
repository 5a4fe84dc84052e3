#!/usr/bin/env python3
"""Fails when a file includes a folder above its own in the stack of folders.

The folders stack one way, top to bottom (folders on one line are side by side
and do not include each other):

    app
    desk
    query
    printing
    list
    intake
    people barcode scanner
    db
    settings
    platform

A file may include its own folder and the folders below it. Its folder is the
first part of its path; a folder's bench/ counts as the folder, and tests/X as
X, which may also use a folder beside X for a round trip (the scanner's tests
read payloads that barcode/ builds); tests/support and the shared bench/ may
include any folder. Lattix stands apart: it includes none of them, and they
include it only through lattix.h.

    check_include_order.py [SOURCE_DIR]
"""
import pathlib
import re
import sys

STACK = [["app"], ["desk"], ["query"], ["printing"], ["list"], ["intake"], ["people", "barcode", "scanner"], ["db"],
         ["settings"], ["platform"]]
LEVEL = {folder: level for level, row in enumerate(STACK) for folder in row}
INCLUDE = re.compile(r'^\s*#\s*include\s*[<"]([^">]+)[">]')
SOURCES = {".c", ".cpp", ".h", ".in"}


def folder_of(parts):
    """The stack folder whose rules a file follows, "lattix", or None when it may include anything."""
    if parts[0] == "tests" and len(parts) > 2:
        parts = parts[1:]
    if parts[0] == "lattix" or (parts[0] in LEVEL and len(parts) > 1):
        return parts[0]
    return None


def sources(root):
    for top in [*LEVEL, "lattix", "tests"]:
        yield from sorted(path for path in (root / top).rglob("*") if path.suffix in SOURCES and path.is_file())


def offences(root):
    for path in sources(root):
        relative = path.relative_to(root)
        own = folder_of(relative.parts)
        if own is None:
            continue
        lines = path.read_text(encoding="utf-8", errors="replace").splitlines()
        for number, line in enumerate(lines, 1):
            match = INCLUDE.match(line)
            if not match or "/" not in match.group(1):
                continue
            target = match.group(1).split("/")[0]
            if target == own or (target not in LEVEL and target != "lattix"):
                continue
            if own == "lattix" or target == "lattix":
                why = "Lattix stands apart from the desk's folders"
            elif LEVEL[target] < LEVEL[own]:
                why = f"{target}/ is above {own}/"
            elif LEVEL[target] == LEVEL[own] and relative.parts[0] != "tests":
                why = f"{target}/ stands beside {own}/, not below it"
            else:
                continue
            yield f'{relative}:{number}: includes "{match.group(1)}": {why}'


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()
    found = list(offences(root))
    for offence in found:
        print(offence)
    if found:
        print(f"{len(found)} include(s) against the order of the folders (see scripts/check_include_order.py)")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
