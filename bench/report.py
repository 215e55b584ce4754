#!/usr/bin/env python3
"""Folds the raw lines of the three benchmark programs into one table.

Reads bench.sh's raw log (file given as the only argument) and prints, for
banks of 10, 1,000 and 10,000 sites, each figure as a median with its ratio
to the baseline where one applies.
"""
import re
import sys

SIZES = [10, 1000, 10000]
raw = open(sys.argv[1], encoding="utf-8", errors="replace").read().splitlines()

startup, peak, store, sitelist = {}, {}, {}, {}
sites = None
for line in raw:
    if m := re.match(r"sites=(\d+)", line):
        sites = int(m.group(1))
    if m := re.search(r"startup_ms tool=([\d.]+) baseline=([\d.]+) ratio=([\d.]+)", line):
        startup[sites] = (float(m.group(1)), float(m.group(2)), float(m.group(3)))
    if m := re.search(r"peak_mb tool=([\d.]+) baseline=([\d.]+)", line):
        peak[sites] = (float(m.group(1)), float(m.group(2)))
    if m := re.match(r"\s*(\d+)\s+\d+ \|\s+([\d.]+)\s+([\d.]+)\s+([\d.]+) \|\s+([\d.]+)\s+([\d.]+)\s+([\d.]+) \|", line):
        store[int(m.group(1))] = tuple(float(m.group(i)) for i in range(2, 8))
    if m := re.match(r"\s*(\d+) sites: load\s+([\d.]+) ms\s+list fill\s+([\d.]+) ms\s+delete all\s+([\d.]+) ms", line):
        sitelist[int(m.group(1))] = (float(m.group(3)), float(m.group(4)))


def cell(table, size, show):
    return show(table[size]) if size in table else "-"


rows = [
    ("start-up to first painted window, ms (x minimal dialog)",
     lambda s: cell(startup, s, lambda v: f"{v[0]:.0f} ({v[2]:.2f}x)")),
    ("  minimal dialog program, ms", lambda s: cell(startup, s, lambda v: f"{v[1]:.0f}")),
    ("peak working set, MB (minimal dialog)", lambda s: cell(peak, s, lambda v: f"{v[0]:.1f} ({v[1]:.1f})")),
    ("store load, ms (x plain read)", lambda s: cell(store, s, lambda v: f"{v[0]:.1f} ({v[2]:.0f}x)")),
    ("store save, ms (x plain write+flush)", lambda s: cell(store, s, lambda v: f"{v[3]:.1f} ({v[5]:.1f}x)")),
    ("list fill, ms", lambda s: cell(sitelist, s, lambda v: f"{v[0]:.0f}")),
    ("delete every site, ms", lambda s: cell(sitelist, s, lambda v: f"{v[1]:.0f}")),
]
width = max(len(r[0]) for r in rows)
print(f"{'medians under Wine on this machine':<{width}} | " + " | ".join(f"{s:>14,} sites" for s in SIZES))
print("-" * width + "-+-" + "-+-".join("-" * 20 for _ in SIZES))
for label, show in rows:
    print(f"{label:<{width}} | " + " | ".join(f"{show(s):>20}" for s in SIZES))
if 0 in startup:
    v = startup[0]
    print(f"empty bank: start-up {v[0]:.0f} ms against {v[1]:.0f} ms ({v[2]:.2f}x)")
