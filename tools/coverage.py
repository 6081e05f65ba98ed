#!/usr/bin/env python3
"""Line and branch coverage of the programs' own code from a gcov build.

Usage: tools/coverage.py BUILD_DIR [--min-lines PCT] [--min-branches PCT]

Reads every .gcda under BUILD_DIR, but those of the test binaries, with gcov's
JSON output and counts, for the source files of the four programs (tests,
fuzz targets, benchmarks and headers only tests include left out), the lines
run at least once and the branches taken at least once.
Branches that only an exception could take are not counted. Exits 1 when a
total is below its minimum.
"""
import argparse
import gzip
import json
import pathlib
import re
import subprocess
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
OWN = re.compile(r"^(zoneclock|quickcount|mergecount|strpower)/[^/]+\.(cpp|hpp)$")
NOT_OWN = re.compile(r"(_test|_fuzz|_bench)\.cpp$")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build_dir")
    parser.add_argument("--min-lines", type=float, default=0)
    parser.add_argument("--min-branches", type=float, default=0)
    args = parser.parse_args()

    lines = {}  # (file, line) -> run at least once
    branches = {}  # (file, line, index) -> taken at least once
    for gcda in sorted(pathlib.Path(args.build_dir).resolve().rglob("*.gcda")):
        if "_test.dir" in str(gcda):
            continue  # the test binaries: what they include is not program code
        out = subprocess.run(["gcov", "--json-format", "--stdout", "--branch-probabilities",
                              str(gcda)], cwd=gcda.parent, capture_output=True, check=True)
        for text in out.stdout.decode().splitlines():
            if not text.strip():
                continue
            for f in json.loads(text)["files"]:
                try:
                    rel = pathlib.Path(f["file"]).resolve().relative_to(ROOT).as_posix()
                except ValueError:
                    continue
                if not OWN.match(rel) or NOT_OWN.search(rel):
                    continue
                for ln in f["lines"]:
                    key = (rel, ln["line_number"])
                    lines[key] = lines.get(key, False) or ln["count"] > 0
                    real = [b for b in ln["branches"] if not b["throw"]]
                    for k, b in enumerate(real):
                        bkey = key + (k,)
                        branches[bkey] = branches.get(bkey, False) or b["count"] > 0

    files = sorted({k[0] for k in lines})
    print(f"{'file':32} {'lines':>16} {'branches':>16}")
    for name in files:
        lt = [v for k, v in lines.items() if k[0] == name]
        bt = [v for k, v in branches.items() if k[0] == name]
        print(f"{name:32} {sum(lt):6}/{len(lt):<6} {pct(lt):5.1f}% {sum(bt):5}/{len(bt):<5} {pct(bt):5.1f}%")
    lt, bt = list(lines.values()), list(branches.values())
    print(f"{'total':32} {sum(lt):6}/{len(lt):<6} {pct(lt):5.1f}% {sum(bt):5}/{len(bt):<5} {pct(bt):5.1f}%")
    if pct(lt) < args.min_lines or pct(bt) < args.min_branches:
        print(f"below the minimum: lines {args.min_lines}%, branches {args.min_branches}%")
        return 1
    return 0


def pct(flags):
    return 100.0 * sum(flags) / len(flags) if flags else 100.0


if __name__ == "__main__":
    sys.exit(main())
