#!/usr/bin/env bash
# Runs the benchmarks under the Wine session ./run bench started.
set -euo pipefail

# The credential store: load and save of 10, 1,000 and 10,000 sites.
wine "$WINE_BIN/StoreBench.exe"
