#!/usr/bin/env bash
# The main job: install, build, and run the command-line program.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh"
exec "$root/build/src/tarnquill-cli" --help
