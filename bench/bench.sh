#!/usr/bin/env bash
# Runs the benchmarks under the Wine session ./run bench started.
set -euo pipefail

echo "web site list page:"
wine "$WINE_BIN/SiteListBench.exe" </dev/null
