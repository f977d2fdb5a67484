#!/usr/bin/env bash
# Installs what is missing, checks the sources' style, builds, and runs the whole test suite with CTest: once as built,
# then the readers and utilities under AddressSanitizer + UBSan, then the engine under
# ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps
./scripts/check-style
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLARA_TESTS=ON -DQUILLARA_BENCH=ON
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUILLARA_SANITIZE=address -DQUILLARA_GUI=OFF
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs" -L asan

cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS=-O1 -DQUILLARA_SANITIZE=thread -DQUILLARA_GUI=OFF
cmake --build build-tsan -j "$jobs"
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
  ctest --test-dir build-tsan --output-on-failure -j "$jobs" -L tsan --no-tests=ignore
echo "test.sh: all tests passed"
