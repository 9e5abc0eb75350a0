#!/usr/bin/env bash
# Installs what is missing, then configures and builds into build/ (or $TQ_BUILD_DIR).
# Extra arguments go to cmake's configure step (for example -DTQ_SANITIZE=address,undefined);
# TQ_TARGETS (space-separated) limits what is built.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
build=${TQ_BUILD_DIR:-$root/build}
cmake -S "$root" -B "$build" -G Ninja "$@" >/dev/null
targets=()
for t in ${TQ_TARGETS:-}; do targets+=(--target "$t"); done
cmake --build "$build" -j "$(nproc)" "${targets[@]}"
