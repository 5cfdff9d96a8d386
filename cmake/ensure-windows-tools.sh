#!/usr/bin/env bash
# Makes sure the MinGW-w64 cross compiler and Wine are there; installs them
# from Debian's packages when this user may, otherwise says what to install.
set -eu
need=()
command -v x86_64-w64-mingw32-g++-posix >/dev/null 2>&1 || need+=(g++-mingw-w64-x86-64-posix)
command -v wine >/dev/null 2>&1 || need+=(wine wine64)
[ ${#need[@]} -eq 0 ] && exit 0
if [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null 2>&1; then
    echo "Installing the Windows build tools: ${need[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq wine wine64 g++-mingw-w64-x86-64-posix >/dev/null
    exit 0
fi
echo "The Windows build needs: ${need[*]}" >&2
echo "Install them (Debian: sudo apt-get install wine wine64 g++-mingw-w64-x86-64-posix) and run again." >&2
exit 1
