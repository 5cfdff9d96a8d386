#!/usr/bin/env bash
# Converts a copy of examples/Corvane.reg with the given program and shows what
# it printed, the files it produced and the registry afterwards. Everything
# happens in demo/ at the top of the repository; the example stays intact.
set -euo pipefail

program=${1:?usage: demo.sh PATH-TO-corvane-migrate}
here=$(cd "$(dirname "$0")" && pwd)
demo=$(cd "$here/.." && pwd)/demo
program_name=$(basename "$program")

rm -rf "$demo"
mkdir -p "$demo/prog"
# The program writes its own small settings file beside itself: run a copy.
cp "$program" "$demo/prog/$program_name"
cp "$here/Corvane.reg" "$demo/HKCU.reg"
data="$demo/data"

# Shows a text file, UTF-16 (registry exports) or 8-bit, with at most $2 lines.
show() {
    python3 - "$1" "$2" <<'PY'
import sys
path, limit = sys.argv[1], int(sys.argv[2])
raw = open(path, "rb").read()
text = raw[2:].decode("utf-16-le") if raw.startswith(b"\xff\xfe") else raw.decode("utf-8", "replace")
lines = text.replace("\r\n", "\n").split("\n")
if lines and lines[-1] == "":
    lines.pop()
for line in lines[:limit]:
    print("    " + line)
if len(lines) > limit:
    print("    ... (%d more lines)" % (len(lines) - limit))
PY
}

echo "== Registry before the run: examples/Corvane.reg, $(wc -c <"$here/Corvane.reg") bytes"
echo "== Running $program_name (registry: CORVANE_REGISTRY=$demo/HKCU.reg)"
echo "   answering the data-path prompt with $data"
echo
set +e
printf '%s\n' "$data" | CORVANE_REGISTRY="$demo/HKCU.reg" "$demo/prog/$program_name" \
    | sed 's/^/    /'
status=${PIPESTATUS[1]}
set -e
echo
echo "== Exit code: $status"
echo
echo "== Files in the data folder $data"
for file in "$data"/*; do
    [ -f "$file" ] || continue
    echo
    echo "-- $(basename "$file") ($(wc -c <"$file") bytes)"
    show "$file" 40
done
echo
echo "== Beside the program ($demo/prog)"
for file in "$demo/prog"/*; do
    [ "$(basename "$file")" = "$program_name" ] && continue
    echo "-- $(basename "$file")"
    show "$file" 10
done
echo
echo "== Registry afterwards ($demo/HKCU.reg)"
show "$demo/HKCU.reg" 60
exit "$status"
