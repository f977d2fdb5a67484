#!/bin/sh
# Usage: tools/fuzz.sh TARGET SECONDS
# Builds one libFuzzer target with clang 16 in build-fuzz/ and runs it for SECONDS on its seed
# corpus (fuzz/corpus/TARGET/). New inputs go to build-fuzz/corpus/TARGET/, crashes to
# build-fuzz/artifacts/TARGET/, so the checked-in seeds stay as they are.
set -eu

if [ $# -ne 2 ]; then
    echo "usage: $0 TARGET SECONDS" >&2
    exit 2
fi
target=$1
seconds=$2
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-fuzz
seeds=$root/fuzz/corpus/$target

if [ ! -d "$seeds" ]; then
    echo "$0: no seed corpus $seeds" >&2
    exit 2
fi

# clang 14 lacks what <source_location> needs; a tree configured with another compiler is
# configured again.
if [ -f "$build/CMakeCache.txt" ] && ! grep -q '^CMAKE_CXX_COMPILER:.*clang++-16$' "$build/CMakeCache.txt"; then
    rm -rf "$build/CMakeCache.txt" "$build/CMakeFiles"
fi
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -G Ninja \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_C_COMPILER=clang-16 -DCMAKE_CXX_COMPILER=clang++-16 \
        -DQUILLARA_FUZZ=ON -DQUILLARA_GUI=OFF -DQUILLARA_TESTS=OFF -DQUILLARA_BENCH=OFF
fi
ninja -C "$build" -j2 "$target"

binary=$(find "$build" -type f -name "$target" -perm -u+x | head -n 1)
if [ -z "$binary" ]; then
    echo "$0: target $target was not built" >&2
    exit 2
fi
mkdir -p "$build/corpus/$target" "$build/artifacts/$target"
exec "$binary" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$build/artifacts/$target/" "$build/corpus/$target" "$seeds"
