#!/usr/bin/env bash
# Exports a project crawled from the shared synthetic site (../../../shared/bench by default, or
# $PEER_BENCH) to a folder and to a ZIP file, and times both beside wget2's link conversion of the
# same site, in one run. Needs root and Debian's nginx-light, wget2 and time.
#   bench/export/run.sh [N]        (N pages, default 20000)
# The crawl (tarnquill-save and wget2 of ../crawl/contenders.txt) is recorded by the shared
# harness; the exports' times, peak memory and link check are printed and written to
# $BENCH_RESULTS/export-nN.json (default build/bench-export/).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
peers=${PEER_BENCH:-$root/../shared/bench}
N=${1:-20000}
export TQ_CLI=${TQ_CLI:-$root/build/src/tarnquill-cli}
export BENCH_RESULTS=${BENCH_RESULTS:-$root/build/bench-export}
export BENCH_PORT=${BENCH_PORT:-18097}  # apart from the crawl benchmark's port and scratch
export BENCH_WORK=${BENCH_WORK:-/dev/shm/tarnquill-bench-export}
[ -x "$TQ_CLI" ] || { echo "build tarnquill-cli first (scripts/build.sh)" >&2; exit 1; }
source "$peers/common.sh"
mkdir -p "$BENCH_RESULTS"

"$peers/run_peers.sh" -k -r 1 -c tarnquill-save,wget2 -f "$here/../crawl/contenders.txt" "$N"
runs=$BENCH_WORK/runs
web=$runs/tarnquill-save-n$N-r1/site.web
out=$BENCH_WORK/export-n$N
rm -rf "$out" && mkdir -p "$out"

# time -v's fields of one command: wall seconds, CPU seconds (user + system) and peak resident
# megabytes. Other work on the machine stretches wall time; CPU time is what the command cost.
timed() {
  local name=$1
  shift
  XDG_CACHE_HOME="$out/cache" /usr/bin/time -v -o "$out/$name.time" "$@" >"$out/$name.log" 2>&1
  python3 - "$out/$name.time" <<'PY'
import sys
fields = dict(l.strip().rsplit(": ", 1) for l in open(sys.argv[1]) if ": " in l)
wall = 0.0
for part in fields["Elapsed (wall clock) time (h:mm:ss or m:ss)"].split(":"):
    wall = wall * 60 + float(part)
cpu = float(fields["User time (seconds)"]) + float(fields["System time (seconds)"])
print("%.2f %.2f %.1f" % (wall, cpu, int(fields["Maximum resident set size (kbytes)"]) / 1024))
PY
}

read -r load_s load_cpu load_mb < <(timed load "$TQ_CLI" list "$web" --list emails)
read -r folder_s folder_cpu folder_mb < <(timed folder "$TQ_CLI" export "$web" --folder "$out/folder")
read -r zip_s zip_cpu zip_mb < <(timed zip "$TQ_CLI" export "$web" --zip "$out/site.zip")
unzip -tq "$out/site.zip" >"$out/unzip.log"
python3 "$here/check_export.py" "$peers/benchlib.py" "$out/folder" "$BENCH_WORK/sites/n$N" \
  >"$out/check.json"
wget2_tail=$(python3 -c 'import json,sys
rows=[json.loads(l) for l in open(sys.argv[1]) if json.loads(l)["contender"]=="wget2" and json.loads(l)["pages"]==int(sys.argv[2])]
r=rows[-1]; print("%.2f %.2f" % (r["wall_s"] - r["log_span_s"], r["cpu_s"]))' "$BENCH_RESULTS/runs.jsonl" "$N")
read -r wget2_tail wget2_cpu <<<"$wget2_tail"
python3 - "$out/check.json" "$BENCH_RESULTS/export-n$N.json" <<PY
import json, sys
check = json.load(open(sys.argv[1]))
row = {"pages": $N, "project_load_s": $load_s, "project_load_cpu_s": $load_cpu,
       "project_load_mb": $load_mb, "folder_s": $folder_s, "folder_cpu_s": $folder_cpu,
       "folder_mb": $folder_mb, "zip_s": $zip_s, "zip_cpu_s": $zip_cpu, "zip_mb": $zip_mb,
       "zip_bytes": $(stat -c %s "$out/site.zip"), "wget2_conversion_s": $wget2_tail,
       "wget2_crawl_cpu_s": $wget2_cpu,
       "load_average": open("/proc/loadavg").read().split()[0], "check": check}
json.dump(row, open(sys.argv[2], "w"), indent=1, sort_keys=True)
print(json.dumps(row, indent=1, sort_keys=True))
PY
uptime
