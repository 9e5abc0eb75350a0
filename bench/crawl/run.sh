#!/usr/bin/env bash
# Times tarnquill-cli beside wget and wget2 on the shared synthetic site (../../../shared/bench by
# default, or $PEER_BENCH). Needs root and Debian's nginx-light, wget2, wrk and time.
#   bench/crawl/run.sh [run_peers.sh options] N [N...]
#   e.g. bench/crawl/run.sh -r 3 -c tarnquill,wget,wget2 1000 20000
# TQ_CLI names the binary measured (default build/src/tarnquill-cli). TQ_CLI_BEFORE may name a
# second one, an older build kept for comparison: its contenders (the names ending in -before)
# then run in the same runs, each beside its counterpart; without it they are left out.
# Results (JSON lines and a median table) go to build/bench-crawl/ unless BENCH_RESULTS is set.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
peers=${PEER_BENCH:-$root/../shared/bench}
export TQ_CLI=${TQ_CLI:-$root/build/src/tarnquill-cli}
export BENCH_RESULTS=${BENCH_RESULTS:-$root/build/bench-crawl}
[ -x "$TQ_CLI" ] || { echo "build tarnquill-cli first (scripts/build.sh)" >&2; exit 1; }
mkdir -p "$BENCH_RESULTS"
contenders=$here/contenders.txt
if [ -n "${TQ_CLI_BEFORE:-}" ]; then
  [ -x "$TQ_CLI_BEFORE" ] || { echo "TQ_CLI_BEFORE is not a program: $TQ_CLI_BEFORE" >&2; exit 1; }
  export TQ_CLI_BEFORE
else
  contenders=$BENCH_RESULTS/contenders.txt
  grep -Ev '^[[:space:]]*[^#|[:space:]]+-before[[:space:]]*\|' "$here/contenders.txt" >"$contenders"
fi
exec "$peers/run_peers.sh" -f "$contenders" "$@"
