#!/usr/bin/env bash
# Installs what is missing, then configures and builds into build/ (or $TQ_BUILD_DIR).
# Extra arguments go to cmake's configure step (for example -DTQ_SANITIZE=address,undefined).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
build=${TQ_BUILD_DIR:-$root/build}
cmake -S "$root" -B "$build" -G Ninja "$@" >/dev/null
cmake --build "$build" -j "$(nproc)"
