#!/usr/bin/env bash
# Crawl pacing against a distant server: the shared generated site served with a fixed delay per
# answer (latency_server.py), crawled by tarnquill-cli with its default pacing, by tarnquill-cli
# at --max-rate 2, and by wget2 with the same number of connections. One line per contender:
#   NAME WALL_S REQUESTS MEAN_IN_FLIGHT MOST_IN_ONE_SECOND
# (the last: the most requests the server saw start within any one second).
#
#   bench/crawl/latency.sh [CLI] [PAGES=200] [DELAY_MS=250] [THREADS=5]
# BEFORE_CLI=path adds the lines of another build (e.g. the main branch's) as "before-...".
# PEER_BENCH names the shared bench folder (gen_site.py); RATE_PAGES (30) the pages of the
# --max-rate run.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
peers=${PEER_BENCH:-/work/shared/bench}
cli=$(realpath "${1:-$root/build/src/tarnquill-cli}"); pages=${2:-200}; delay=${3:-250}; threads=${4:-5}
work=$(mktemp -d /tmp/tq-latency.XXXXXX)
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
python3 "$peers/gen_site.py" "$pages" "$work/site" --base-url "http://127.0.0.1:$port" >/dev/null
# The rate-limited run takes half a second a request: a smaller site shows the bound as well.
python3 "$peers/gen_site.py" "${RATE_PAGES:-30}" "$work/rate-site" --base-url "http://127.0.0.1:$port" \
  >/dev/null
srv=
cleanup() { [ -n "$srv" ] && kill "$srv" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
site=site
serve() {  # serve LOG: start the delayed server for one contender
  rm -f "$work/port"
  python3 "$here/latency_server.py" "$work/$site" "$work/port" --port "$port" --delay-ms "$delay" \
    --log "$1" &
  srv=$!
  for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.05; done
}
unserve() { kill "$srv"; wait "$srv" 2>/dev/null || true; srv=; }
summary() {  # requests, mean in flight, and the most request starts within one second of a log
  python3 - "$1" <<'PY'
import bisect, sys
rows = sorted(tuple(map(float, l.split()[:2])) for l in open(sys.argv[1]) if l.strip())
if not rows: print("0 0.00 0"); sys.exit()
span = max(e for _, e in rows) - rows[0][0]
starts = [s for s, _ in rows]
most = max(bisect.bisect_left(starts, s + 1.0) - i for i, s in enumerate(starts))
print(len(rows), "%.2f" % (sum(e - s for s, e in rows) / span if span > 0 else 0), most)
PY
}
url="http://127.0.0.1:$port/index.html"
run() {  # run NAME COMMAND...: one contender against a fresh server
  local name=$1; shift
  serve "$work/$name.log"
  local s e
  s=$(date +%s.%N)
  (cd "$work" && "$@" >/dev/null 2>&1) || true
  e=$(date +%s.%N); unserve
  echo "$name $(python3 -c "print('%.2f' % ($e - $s))") $(summary "$work/$name.log")"
  rm -rf "$work/w2"
}
tarnquill() {  # tarnquill PREFIX CLI
  run "$1tarnquill" "$2" crawl "$url" --threads "$threads" --retries 0
  site=rate-site
  run "$1tarnquill-max-rate-2" "$2" crawl "$url" --threads "$threads" --retries 0 --max-rate 2
  site=site
}
echo "# $pages pages, $delay ms per answer, $threads connections"
echo "# name wall_s requests mean_in_flight most_in_one_second"
[ -n "${BEFORE_CLI:-}" ] && run before-tarnquill "$BEFORE_CLI" crawl "$url" --threads "$threads" --retries 0
tarnquill "" "$cli"
run wget2 wget2 -q -r -l 0 -np -p --max-threads="$threads" --tries=1 --robots=off -P w2 "$url"
