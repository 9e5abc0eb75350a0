#!/usr/bin/env bash
# Times an update of an unchanged copy beside wget2 -N on the shared synthetic site served by
# nginx (which sends ETag and Last-Modified): a first crawl, then the update, each with its wall
# time, CPU time, requests and body bytes received from the server's access log.
#   bench/crawl/update.sh [PAGES]      (default 5000; needs root, nginx-light, wget2, time)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
peers=${PEER_BENCH:-$root/../shared/bench}
cli=${TQ_CLI:-$root/build/src/tarnquill-cli}
pages=${1:-5000}
[ -x "$cli" ] || { echo "build tarnquill-cli first (scripts/build.sh)" >&2; exit 1; }
source "$peers/common.sh"
work=$BENCH_WORK/update-$pages
rm -rf "$work"
mkdir -p "$work"
python3 "$peers/gen_site.py" "$pages" "$work/site" >/dev/null
base=$(python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["base_url"])' "$work/site/site.json")
port=$(python3 -c 'import sys,urllib.parse as u; print(u.urlsplit(sys.argv[1]).port)' "$base")
"$peers/serve.sh" start "$work/site" >/dev/null
trap '"$peers/serve.sh" stop "$port" >/dev/null 2>&1 || true' EXIT
log=$("$peers/serve.sh" status "$port" | sed -n 's/.*access_log=\([^ ]*\).*/\1/p')
url=$base/index.html

# One step: its command under time, then the access-log lines it added.
printf '| run | wall s | CPU s | requests | 304 answers | body bytes |\n|---|---|---|---|---|---|\n'
step() {
  local name=$1
  shift
  local before
  before=$(wc -l <"$log")
  "$peers/serve.sh" exec "$port" -- /usr/bin/time -f '%e %U %S' -o "$work/time" "$@" \
    >"$work/$name.out" 2>"$work/$name.err" || true
  read -r wall user sys < <(tail -n 1 "$work/time")
  tail -n +"$((before + 1))" "$log" | awk -v name="$name" -v wall="$wall" -v cpu="$(echo "$user + $sys" | bc)" \
    '{n++; if ($2 == 304) m++; b += $3} END {printf "| %s | %s | %s | %d | %d | %d |\n", name, wall, cpu, n, m, b}'
}
step "tarnquill crawl" "$cli" crawl "$url" -o "$work/copy.web" --list failed
step "tarnquill update" "$cli" update "$work/copy.web" --list failed
# The same again without the default pacing of one start per worker a dispatch interval.
step "tarnquill update, --dispatch-interval 0" "$cli" update "$work/copy.web" --list failed \
  --dispatch-interval 0
grep -h '^Updated:' "$work"/tarnquill\ update*.err || true
step "wget2 -N first" wget2 -q -r -l 0 -np -N --max-threads=5 -P "$work/wget2" "$url"
step "wget2 -N again" wget2 -q -r -l 0 -np -N --max-threads=5 -P "$work/wget2" "$url"
