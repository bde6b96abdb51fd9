#!/usr/bin/env python3
"""Fails when a source file includes a header from a layer above its own.

Layers, lowest first; a file may include headers of its own layer and of
the layers below it. The feature units share one layer and do not include
one another."""
import pathlib
import re
import sys

LAYERS = [
    {"core"},
    {"context"},
    {"objects"},
    {"convert"},
    {"arith"},
    {"integer", "rational", "floating", "serialize", "random", "mpmath"},
    {"module"},
]
RANK = {folder: i for i, layer in enumerate(LAYERS) for folder in layer}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z_]+)/', re.M)


def main(root: pathlib.Path) -> int:
    bad = []
    for path in sorted(root.rglob("*")):
        if path.suffix not in {".h", ".cpp"}:
            continue
        own = path.relative_to(root).parts[0]
        if own not in RANK:
            bad.append(f"{path}: folder '{own}' has no layer")
            continue
        for used in INCLUDE.findall(path.read_text()):
            if used not in RANK:
                bad.append(f"{path}: includes from unknown folder '{used}'")
            elif RANK[used] > RANK[own] or (RANK[used] == RANK[own] and used != own):
                bad.append(f"{path}: '{own}' may not include from '{used}'")
    for line in bad:
        print(line, file=sys.stderr)
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main(pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else "src")))
