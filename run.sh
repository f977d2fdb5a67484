#!/usr/bin/env bash
# Installs what is missing, builds in build/ (Release) and runs Quillara.
# Without arguments: the window on the default cabinet. With arguments: quillara-cli with them.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps >&2
# A first build skips the tests and benchmarks; a build/ that ./test.sh made keeps them, so
# switching between the two commands never rebuilds everything.
if [ -f build/CMakeCache.txt ]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
else
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLARA_TESTS=OFF -DQUILLARA_BENCH=OFF >/dev/null
fi
cmake --build build >&2
if [ $# -gt 0 ]; then
  exec build/bin/quillara-cli "$@"
fi
if [ -x build/bin/quillara ]; then
  exec build/bin/quillara
fi
exec build/bin/quillara-cli --help
