#!/usr/bin/env bash
# Runs the benchmarks inside the Wine session ./run bench started (headless
# prefix, persistent wineserver). Prints one line per measurement.
set -euo pipefail
: "${WINE_BIN:?}"
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
work=$(mktemp -d)
trap 'driver_stop; rm -rf "$work"' EXIT

winpath() { winepath -w "$1" 2>/dev/null; }
driver_stop() { wine "$WINE_BIN/QOVIDriver.exe" stop-stubs >/dev/null 2>&1 || true; }
bankwith() {  # a CSV of N made-up sites
    python3 - "$1" <<'PY'
import sys
n = int(sys.argv[1])
print("name,url,username,password")
for i in range(n):
    print(f"Site {i:06d},https://site{i:06d}.example/login,user{i:06d},Pass-{i:06d}-word")
PY
}

raw=${BENCH_LOG:-$work/raw.txt}
exec 3>&1 >"$raw"

export QOVI_DATA_DIR
wine "$WINE_BIN/QOVIMainAppStub.exe" </dev/null >/dev/null 2>&1 &
sleep 1
for sites in 0 10 1000 10000 100000; do
    mkdir -p "$work/bank-$sites"
    QOVI_DATA_DIR=$(winpath "$work/bank-$sites")
    if [ "$sites" -gt 0 ]; then
        bankwith "$sites" >"$work/bank-$sites.csv"
        started=$(date +%s%N)
        wine "$WINE_BIN/qovibank.exe" import "$(winpath "$work/bank-$sites.csv")" </dev/null >/dev/null 2>&1 || true
        printf 'import sites=%s ms=%s\n' "$sites" $(( ($(date +%s%N) - started) / 1000000 ))
    fi
    bankfile=$(find "$work/bank-$sites" -name PasswordBank.qovi 2>/dev/null | head -n 1)
    printf 'sites=%s bankbytes=%s ' "$sites" "$( [ -n "$bankfile" ] && stat -c %s "$bankfile" || echo 0)"
    # With a bank, the tool also starts on the empty bank in the same rounds.
    empty=$( [ "$sites" -gt 0 ] && winpath "$work/bank-0" || true)
    wine "$WINE_BIN/StartupBench.exe" 7 ${empty:+"$empty"} </dev/null 2>/dev/null | tr -d '\r'
done

# The credential store: load and save of 10, 1,000 and 10,000 sites.
wine "$WINE_BIN/StoreBench.exe" </dev/null 2>/dev/null | tr -d '\r'

# The web site list page: list fill, select all and deletion of 10 to 100,000 sites.
wine "$WINE_BIN/SiteListBench.exe" </dev/null 2>/dev/null | tr -d '\r'

exec >&3
python3 "$HERE/report.py" "$raw"
