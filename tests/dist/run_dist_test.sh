#!/usr/bin/env bash
# The release archive as a user gets it: unpacks the zip, then runs its Windows
# program under Wine in a new, empty prefix (no build tree, no MinGW DLLs): the
# version line, a whole conversion of the example registry, and a second run
# that finds it converted. Usage: run_dist_test.sh <zip>
set -eu
here=$(cd "$(dirname "$0")/../.." && pwd)
zip=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
version=$(head -n 1 "$here/VERSION")
scratch=$(mktemp -d /tmp/corvane-dist-test-XXXXXX)
export CORVANE_WINEPREFIX=$scratch/prefix
cleanup() {
    WINEPREFIX=$CORVANE_WINEPREFIX wineserver -k >/dev/null 2>&1 || true
    rm -rf "$scratch"
}
trap cleanup EXIT
fail() {
    echo "run_dist_test.sh: $*" >&2
    exit 1
}
wine_run() { "$here/cmake/wine-run.sh" "$@"; }

(cd "$scratch" && unzip -q "$zip")
program=$scratch/corvane-migrate-$version/corvane-migrate.exe
[ -f "$program" ] || fail "no corvane-migrate-$version/corvane-migrate.exe in $zip"
for f in corvane-migrate README.md; do
    [ -f "$scratch/corvane-migrate-$version/$f" ] || fail "no $f in $zip"
done
mkdir -p "$scratch/work" "$scratch/data"
cd "$scratch/work"
start=$(date +%s)

out=$(wine_run "$program" /version | tr -d '\r')
case $out in
"corvane-migrate $version (Windows build, code page "*")") ;;
*) fail "unexpected version line: $out" ;;
esac

wine_run regedit /S "Z:${here//\//\\}\\examples\\Corvane.reg" || fail "regedit could not import the example"
data="Z:${scratch//\//\\}\\data"
code=0
wine_run "$program" "/datapath=$data" </dev/null >"$scratch/run1.txt" 2>&1 || code=$?
[ "$code" = 0 ] || { cat "$scratch/run1.txt" >&2; fail "the conversion ended with exit code $code"; }
for f in Corvane.ini PlugIns.ini Corvane-registry-backup.reg; do
    [ -s "$scratch/data/$f" ] || fail "the conversion wrote no $f"
done
out=$(wine_run "$program" </dev/null | tr -d '\r')
case $out in
"Already converted: "*) ;;
*) fail "a second run did not find the registry converted: $out" ;;
esac
[ ! -e "$scratch/data/Corvane-registry-backup-2.reg" ] || fail "a second run wrote a backup"
echo "the Windows program of $(basename "$zip") ran in an empty Wine prefix ($(( $(date +%s) - start )) s with the prefix set-up)"
