#!/usr/bin/env bash
# Whole-conversion benchmark: converts generated registries (bench/generate_registry.py)
# with the Linux build and with the Windows build under Wine, measures the I/O floor
# and writes bench/results.md and bench/results.svg.
#
# Environment (all optional):
#   BENCH_LINUX_EXE    Linux program    (default build/linux/corvane-migrate)
#   BENCH_WINDOWS_EXE  Windows program  (default build/windows/corvane-migrate.exe;
#                      built with `make windows` when missing; BENCH_WINE=0 skips Wine)
#   BENCH_LINUX_K      size factors for the Linux build (default "1 2 4 8 16")
#   BENCH_WINE_K       size factors for Wine (default "1/4 1/2 1")
#   BENCH_RUNS         runs per size on Linux (default 5); BENCH_WINE_RUNS (default 3)
#   BENCH_WINE_BY_KEY_RUNS  runs per size of the Windows build with every group
#                      written key by key (CORVANE_KEY_BY_KEY=1; default 1, 0 skips)
#   BENCH_WINE_LIMIT   seconds after which a Wine run is stopped and its time recorded
#                      as a lower bound (default 0: no limit)
#   BENCH_WORK         scratch folder (default a fresh temporary folder)
#   CORVANE_WINEPREFIX Wine prefix (default build/windows/wineprefix)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/.." && pwd)
export BENCH_LINUX_EXE=${BENCH_LINUX_EXE:-$top/build/linux/corvane-migrate}
export BENCH_WINDOWS_EXE=${BENCH_WINDOWS_EXE:-$top/build/windows/corvane-migrate.exe}
export BENCH_WINE=${BENCH_WINE:-1}
if [ "$BENCH_WINE" = 1 ] && [ ! -f "$BENCH_WINDOWS_EXE" ]; then
    make -C "$top" windows
fi
[ -x "$BENCH_LINUX_EXE" ] || make -C "$top" linux
export CORVANE_WINEPREFIX=${CORVANE_WINEPREFIX:-$top/build/windows/wineprefix}
exec python3 "$here/measure.py" "$@"
