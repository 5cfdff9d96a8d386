#!/usr/bin/env bash
# Makes sure clang and its sanitizer and libFuzzer runtimes are there (the
# sanitize build and the fuzz targets need them); installs them from Debian's
# packages when this user may, otherwise says what to install.
set -eu
packages=(clang libclang-rt-dev)

# True when clang links a fuzz target with ASan and UBSan.
works() {
    command -v clang++ >/dev/null 2>&1 || return 1
    local dir
    dir=$(mktemp -d)
    printf '%s\n' '#include <cstddef>' '#include <cstdint>' \
        'extern "C" int LLVMFuzzerTestOneInput(const uint8_t*, size_t) { return 0; }' \
        >"$dir/probe.cpp"
    local ok=0
    clang++ -fsanitize=fuzzer,address,undefined "$dir/probe.cpp" -o "$dir/probe" \
        >/dev/null 2>&1 || ok=1
    rm -rf "$dir"
    return $ok
}

works && exit 0
if [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null 2>&1; then
    echo "Installing clang and its sanitizer runtimes: ${packages[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq "${packages[@]}" >/dev/null
    works && exit 0
    echo "clang still cannot link a fuzz target with -fsanitize=fuzzer,address,undefined" >&2
    exit 1
fi
echo "The sanitize build and the fuzz targets need clang with its sanitizer and libFuzzer runtimes." >&2
echo "Install them (Debian: sudo apt-get install ${packages[*]}) and run again." >&2
exit 1
