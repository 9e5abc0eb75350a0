#!/usr/bin/env bash
# Fails when a C++ source under src/, tests/ or bench/ differs from what clang-format makes of it
# with the repository's .clang-format, and names each such file. Usage: check_format.sh SOURCE_ROOT
set -uo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root" || exit 2
command -v clang-format >/dev/null || { echo "clang-format is not installed (scripts/deps.sh)"; exit 2; }
files=$(find src tests bench \( -name '*.cpp' -o -name '*.h' \) -not -path 'tests/fuzz/corpus/*' | sort)
[ -n "$files" ] || { echo "no sources under $root"; exit 2; }
# One run over every file; each fault is reported as FILE:LINE:COLUMN: error: ...
bad=$(echo "$files" | xargs clang-format --dry-run -Werror 2>&1 | grep -o '^[^:]*:[0-9]*:[0-9]*: error' | cut -d: -f1 | sort -u)
[ -z "$bad" ] && exit 0
for f in $bad; do echo "not formatted: $f (clang-format -i $f)"; done
exit 1
