#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the normal build (TQ_CLANG=1: the same
# under clang too), then the address+undefined sanitizer build of the same tests, then the
# thread sanitizer build of the threaded layers (TQ_SKIP_SANITIZE=1 skips both sanitizer builds).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
"$root/scripts/build.sh"
ctest --test-dir "$root/build" --output-on-failure -j "$jobs"
# With TQ_CLANG=1, everything again with clang and warnings as errors: each compiler finds what
# the other misses (a full second build, so it stays out of the default run).
if [ "${TQ_CLANG:-0}" = 1 ]; then
  TQ_BUILD_DIR="$root/build-clang" "$root/scripts/build.sh" -DCMAKE_CXX_COMPILER=clang++
  ctest --test-dir "$root/build-clang" --output-on-failure -j "$jobs"
fi
if [ "${TQ_SKIP_SANITIZE:-0}" != 1 ]; then
  TQ_BUILD_DIR="$root/build-asan" "$root/scripts/build.sh" \
    -DCMAKE_BUILD_TYPE=Debug -DTQ_SANITIZE=address,undefined -DTQ_BUILD_BENCH=OFF
  # The browser check runs once, above: Chromium's start-up dominates it, not our code.
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir "$root/build-asan" --output-on-failure -j "$jobs" -LE browser
  # The layers with threads of their own run under the thread sanitizer too.
  tsan_layers="foundation options dialup engine storage export server search dialogs"
  tsan_targets=""
  for layer in $tsan_layers; do tsan_targets+=" tq_${layer}_tests"; done
  TQ_BUILD_DIR="$root/build-tsan" TQ_TARGETS="$tsan_targets" \
    "$root/scripts/build.sh" -DCMAKE_BUILD_TYPE=Debug -DTQ_SANITIZE=thread -DTQ_BUILD_BENCH=OFF
  # A race report makes the test program exit non-zero. Files labelled no-tsan drive a library
  # whose own threads the checker cannot follow.
  TSAN_OPTIONS=halt_on_error=0:exitcode=66 \
    ctest --test-dir "$root/build-tsan" --output-on-failure -j "$jobs" -R "^(${tsan_layers// /|})/" \
    -LE no-tsan
fi
