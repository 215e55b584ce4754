#!/usr/bin/env python3
"""Folds the raw lines of the benchmark programs into one table and the targets.

Reads bench.sh's raw log (file given as the only argument) and prints, for
banks of 10 to 100,000 sites, each figure as a median with its ratio
to the baseline where one applies; then every target with its figure, marking
those not met.
"""
import re
import sys

SIZES = [10, 1000, 10000, 100000]
raw = open(sys.argv[1], encoding="utf-8", errors="replace").read().splitlines()

startup, peak, store, sitelist, bankbytes, scattered, imports, against_empty = {}, {}, {}, {}, {}, {}, {}, {}
sites = None
for line in raw:
    if m := re.match(r"sites=(\d+) bankbytes=(\d+)", line):
        sites = int(m.group(1))
        bankbytes[sites] = int(m.group(2))
    if m := re.search(r"startup_ms tool=([\d.]+) baseline=([\d.]+) ratio=([\d.]+) floor=([\d.]+) floor_ratio=([\d.]+)",
                      line):
        startup[sites] = tuple(float(m.group(i)) for i in range(1, 6))
    if m := re.search(r"peak_mb tool=([\d.]+) baseline=([\d.]+) floor=([\d.]+)", line):
        peak[sites] = tuple(float(m.group(i)) for i in range(1, 4))
    if m := re.search(r"empty_ms tool=([\d.]+) ratio=([\d.]+)", line):
        against_empty[sites] = float(m.group(2))
    if m := re.match(r"\s*(\d+)\s+\d+ \|\s+([\d.]+)\s+([\d.]+)\s+([\d.]+) \|\s+([\d.]+)\s+([\d.]+)\s+([\d.]+) \|"
                     r"\s+([\d.]+)\s+([\d.-]+)", line):
        store[int(m.group(1))] = tuple(float(m.group(i)) for i in range(2, 10))
    if m := re.match(r"\s*(\d+) sites: load\s+([\d.]+) ms\s+list fill\s+([\d.]+) ms\s+delete all\s+([\d.]+) ms"
                     r".*select all\s+([\d.]+) ms\s+search keystroke\s+([\d.]+) ms", line):
        sitelist[int(m.group(1))] = (float(m.group(3)), float(m.group(4)), float(m.group(5)), float(m.group(6)))
    if m := re.match(r"import sites=(\d+) ms=(\d+)", line):
        imports[int(m.group(1))] = float(m.group(2))
    if m := re.match(r"\s*(\d+) sites: delete (\d+) scattered\s+([\d.]+) ms", line):
        scattered[int(m.group(1))] = (int(m.group(2)), float(m.group(3)))


def cell(table, size, show):
    return show(table[size]) if size in table else "-"


rows = [
    ("start-up to first painted window, ms (x skinned floor)",
     lambda s: cell(startup, s, lambda v: f"{v[0]:.0f} ({v[4]:.2f}x)")),
    ("  skinned floor / minimal dialog program, ms", lambda s: cell(startup, s, lambda v: f"{v[3]:.0f} / {v[1]:.0f}")),
    ("peak working set, MB (minimal dialog)", lambda s: cell(peak, s, lambda v: f"{v[0]:.1f} ({v[1]:.1f})")),
    ("store load, ms (x plain read)", lambda s: cell(store, s, lambda v: f"{v[0]:.1f} ({v[2]:.0f}x)")),
    ("store save, ms (x plain write+flush)", lambda s: cell(store, s, lambda v: f"{v[3]:.1f} ({v[5]:.1f}x)")),
    ("merge save, ms (x save)", lambda s: cell(store, s, lambda v: f"{v[7]:.1f} ({v[7] / v[3]:.1f}x)")),
    ("list fill, ms", lambda s: cell(sitelist, s, lambda v: f"{v[0]:.0f}")),
    ("select all, ms", lambda s: cell(sitelist, s, lambda v: f"{v[2]:.0f}")),
    ("search keystroke, ms", lambda s: cell(sitelist, s, lambda v: f"{v[3]:.0f}")),
    ("delete every site, ms", lambda s: cell(sitelist, s, lambda v: f"{v[1]:.0f}")),
    ("import of a CSV file, ms", lambda s: cell(imports, s, lambda v: f"{v:.0f}")),
]
width = max(len(r[0]) for r in rows)
print(f"{'medians under Wine on this machine':<{width}} | " + " | ".join(f"{s:>14,} sites" for s in SIZES))
print("-" * width + "-+-" + "-+-".join("-" * 20 for _ in SIZES))
for label, show in rows:
    print(f"{label:<{width}} | " + " | ".join(f"{show(s):>20}" for s in SIZES))
if 0 in startup:
    v = startup[0]
    print(f"empty bank: start-up {v[0]:.0f} ms against {v[3]:.0f} ms for the skinned floor ({v[4]:.2f}x), "
          f"peak {peak[0][0]:.1f} MB" if 0 in peak else "")

# Each target: (what, figure, limit, how the figure is shown).
targets = []
big, huge = 10000, 100000
if big in imports and huge in imports:
    targets.append(("import of 100,000 rows / import of 10,000", imports[huge] / imports[big], 12, "x"))
# Against the empty bank's start-up timed in the same rounds (side by side).
if huge in against_empty:
    targets.append(("start-up with 100,000 sites / start-up with an empty bank", against_empty[huge], 1.5, "x"))
if big in against_empty:
    targets.append(("start-up with 10,000 sites / start-up with an empty bank", against_empty[big], 1.10, "x"))
if huge in sitelist:
    targets.append(("first showing of the list page with 100,000 sites, ms", sitelist[huge][0], 300, " ms"))
    targets.append(("select all of 100,000 sites, ms", sitelist[huge][2], 200, " ms"))
    targets.append(("delete every one of 100,000 sites, ms", sitelist[huge][1], 300, " ms"))
    targets.append(("search keystroke with 100,000 sites, ms", sitelist[huge][3], 100, " ms"))
if big in sitelist:
    targets.append(("search keystroke with 10,000 sites, ms", sitelist[big][3], 50, " ms"))
if 0 in startup:
    targets.append(("start-up with an empty bank / skinned floor", startup[0][4], 1.15, "x"))
if big in store:
    targets.append(("store load of 10,000 sites / plain read", store[big][2], 20, "x"))
    targets.append(("store save of 10,000 sites / plain write and flush", store[big][5], 3, "x"))
    if store[big][7] > 0:
        targets.append(("merge save of 10,000 sites / plain save", store[big][7] / store[big][3], 3, "x"))
if big in sitelist:
    targets.append(("delete every one of 10,000 sites, ms", sitelist[big][1], 150, " ms"))
if big in scattered:
    targets.append((f"delete {scattered[big][0]} scattered sites of 10,000, ms", scattered[big][1], 50, " ms"))
if big in peak and bankbytes.get(big):
    limit = peak[big][1] + 3 * bankbytes[big] / (1024 * 1024)
    targets.append(("peak working set with 10,000 sites, MB (minimal dialog + 3 x bank file)", peak[big][0], limit, " MB"))
print()
print("targets")
for what, figure, limit, unit in targets:
    mark = "met" if figure <= limit else "NOT MET"
    shown = f"{figure:.2f}{unit}" if unit == "x" else f"{figure:.1f}{unit}"
    limit_shown = f"{limit:.2f}{unit}" if unit == "x" else f"{limit:.1f}{unit}"
    print(f"  {what:<75} {shown:>10}  at most {limit_shown:>10}  {mark}")
