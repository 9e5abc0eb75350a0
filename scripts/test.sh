#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the normal build, then the
# address+undefined sanitizer build of the same tests.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
"$root/scripts/build.sh"
ctest --test-dir "$root/build" --output-on-failure -j "$jobs"
if [ "${TQ_SKIP_SANITIZE:-0}" != 1 ]; then
  TQ_BUILD_DIR="$root/build-asan" "$root/scripts/build.sh" \
    -DCMAKE_BUILD_TYPE=Debug -DTQ_SANITIZE=address,undefined -DTQ_BUILD_BENCH=OFF
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir "$root/build-asan" --output-on-failure -j "$jobs"
fi
