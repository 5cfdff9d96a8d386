#!/usr/bin/env bash
# Packs the release archive: <out>/corvane-migrate-<version>.zip holding the
# Windows program (static, stripped), the Linux program (stripped) and the README.
# Usage: make-dist.sh <linux program> <windows program> <out folder>
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
linux=$1 windows=$2 out=$3
version=$(head -n 1 "$here/VERSION")
name=corvane-migrate-$version
stage=$out/$name
rm -rf "$stage" "$out/$name.zip"
mkdir -p "$stage"
x86_64-w64-mingw32-strip -o "$stage/corvane-migrate.exe" "$windows"
strip -o "$stage/corvane-migrate" "$linux"
cp "$here/README.md" "$stage/README.md"
# The Windows program must need no DLL beyond those of Windows itself.
if x86_64-w64-mingw32-objdump -p "$stage/corvane-migrate.exe" | grep -i "DLL Name" |
    grep -viE "kernel32|advapi32|ole32|msvcrt|user32|ntdll|api-ms-win|ucrtbase|shell32|oleaut32|rpcrt4|gdi32|combase"; then
    echo "make-dist.sh: the Windows program needs a DLL that Windows does not have" >&2
    exit 1
fi
exe_size=$(stat -c %s "$stage/corvane-migrate.exe")
elf_size=$(stat -c %s "$stage/corvane-migrate")
(cd "$out" && rm -f "$name.zip" && zip -q -r -X "$name.zip" "$name")
rm -rf "$stage"
printf '%s: %s bytes (Windows program %s bytes, Linux program %s bytes, both stripped)\n' \
    "$out/$name.zip" "$(stat -c %s "$out/$name.zip")" "$exe_size" "$elf_size"
