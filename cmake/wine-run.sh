#!/usr/bin/env bash
# Runs a Windows program under Wine with a prefix of the build's own, never the
# user's. WINEPREFIX may be set by the caller; otherwise it is build/windows/wineprefix
# beside this script's repository.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
export WINEPREFIX="${CORVANE_WINEPREFIX:-$here/../build/windows/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    # Two tests may start at once: one of them sets the prefix up.
    exec 9>"$WINEPREFIX/.init.lock"
    flock 9
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        wineboot -i >/dev/null 2>&1 || true
        wineserver -w || true
    fi
    flock -u 9
fi
exec wine "$@"
