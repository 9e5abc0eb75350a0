#!/usr/bin/env bash
# The offline server against nginx, and against abusive clients.
#
#   bench/server/run.sh [N]        N pages in the project (default 20000)
#
# Builds (once, kept under $BENCH_WORK/server-N) a project of the shared synthetic site crawled by
# tarnquill-cli, serves it with `tarnquill-cli serve`, and measures with wrk (5 connections, one
# thread, $SECS seconds each, $ROUNDS rounds) a stored page of about 20 KB and an image, through
# the offline server and, in turns with it, the same bytes as files from disk through nginx. Then
# the peak memory of serving one large file to several clients at once is measured (skip it with
# LARGE=0), and bench/server/abuse.py sends malformed requests and holds idle connections (skip
# it with ABUSE=0; ABUSE_REQUESTS sets how many). TQ_CLI picks the binary (a sanitizer build's,
# say).
# Needs Debian's wrk, nginx-light and python3; the shared bench folder ($PEER_BENCH) for the site.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
peers=${PEER_BENCH:-$root/../shared/bench}
[[ -d $peers ]] || peers=$root/../../shared/bench
source "$peers/common.sh"
N=${1:-20000}
SECS=${SECS:-5}
ROUNDS=${ROUNDS:-3}
cli=${TQ_CLI:-$root/build/src/tarnquill-cli}
work=$BENCH_WORK/server-$N
serve_port=${SERVE_PORT:-18090}
nginx_port=${NGINX_PORT:-18091}
[[ -x $cli ]] || { echo "build tarnquill-cli first (scripts/build.sh)" >&2; exit 1; }
for tool in wrk nginx python3; do
  command -v $tool >/dev/null || { echo "$tool missing: apt-get install wrk nginx-light python3" >&2; exit 1; }
done
mkdir -p "$work"

pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  [[ -f $work/nginx/nginx.pid ]] && kill -QUIT "$(cat "$work/nginx/nginx.pid")" 2>/dev/null || true
}
trap cleanup EXIT

if [[ ! -f $work/site.web ]]; then
  echo "making the $N-page project (once)..."
  python3 "$peers/gen_site.py" "$N" "$work/site" --base-url "http://127.0.0.1:$BENCH_PORT" >/dev/null
  "$peers/serve.sh" stop "$BENCH_PORT" >/dev/null
  "$peers/serve.sh" start "$work/site" >/dev/null
  "$peers/serve.sh" exec "$BENCH_PORT" -- env XDG_CACHE_HOME="$work/cache" "$cli" crawl \
    "http://127.0.0.1:$BENCH_PORT/index.html" --threads 5 --dispatch-interval 0 \
    -o "$work/site.web.tmp" >/dev/null || [ $? = 8 ]  # 8: some links failed, the rest is saved
  "$peers/serve.sh" stop "$BENCH_PORT" >/dev/null
  mv "$work/site.web.tmp" "$work/site.web"
fi
# The page closest to 20 KB on disk, and the first image.
page=$(cd "$work/site" && find . -name '*.html' -printf '%s %P\n' |
  awk '{d = $1 - 20480; if (d < 0) d = -d; if (best == "" || d < bd) {best = $2; bd = d}} END {print best}')
image=$(cd "$work/site" && find . -name '*.png' -printf '%P\n' | sort | head -1)

XDG_CACHE_HOME="$work/cache" "$cli" serve "$work/site.web" --port "$serve_port" >"$work/serve.out" &
pids+=($!)
serve_pid=$!
for _ in $(seq 600); do [[ -s $work/serve.out ]] && break; sleep 0.1; done
prefix=$(head -1 "$work/serve.out")
[[ $prefix == http://127.0.0.1:$serve_port/ ]] || { echo "serve did not start" >&2; exit 1; }

# nginx serves exactly the bytes the offline server sends, from files.
mkdir -p "$work/nginx/root"
fetch() { python3 -c 'import sys, urllib.request; sys.stdout.buffer.write(urllib.request.urlopen(sys.argv[1]).read())' "$1"; }
fetch "${prefix}http://127.0.0.1:$BENCH_PORT/$page" >"$work/nginx/root/page.html"
fetch "${prefix}http://127.0.0.1:$BENCH_PORT/$image" >"$work/nginx/root/image.png"
sed -e "s|@ROOT@|$work/nginx/root|g" -e "s|@PORT@|$nginx_port|g" -e "s|@STATE@|$work/nginx|g" \
  -e 's|access_log .*|access_log off;|' "$peers/nginx.conf.in" >"$work/nginx/nginx.conf"
nginx -p "$work/nginx" -e "$work/nginx/error.log" -c "$work/nginx/nginx.conf"
for _ in $(seq 50); do [[ -s $work/nginx/nginx.pid ]] && break; sleep 0.1; done

rate() { wrk -t1 -c5 -d"${SECS}s" "$1" | awk '/^Requests\/sec/ {print $2}'; }
median() { printf '%s\n' "$@" | sort -g | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }
echo "load before: $(uptime | sed 's/.*load average: //')"
echo "| document | bytes | offline server req/s | nginx req/s | ratio of medians |"
echo "|---|---|---|---|---|"
for doc in "page.html $page" "image.png $image"; do
  read -r file path <<<"$doc"
  ours=() theirs=()
  for _ in $(seq "$ROUNDS"); do  # interleaved, so a change in machine load hits both alike
    ours+=("$(rate "${prefix}http://127.0.0.1:$BENCH_PORT/$path")")
    theirs+=("$(rate "http://127.0.0.1:$nginx_port/$file")")
  done
  a=$(median "${ours[@]}") b=$(median "${theirs[@]}")
  echo "| $path | $(stat -c %s "$work/nginx/root/$file") | $a (${ours[*]}) | $b (${theirs[*]}) |" \
    "$(awk -v a="$a" -v b="$b" 'BEGIN {printf "%.2f", a / b}') |"
done
echo "load after: $(uptime | sed 's/.*load average: //')"

# Peak memory serving one large stored file to several clients at once: the serve process's
# resident-memory high-water mark before and after CLIENTS downloads of a LARGE_MB file (random
# bytes, stored as they are; named as an image, which a crawl fetches by default). Skip it with LARGE=0.
if [[ ${LARGE:-1} == 1 ]]; then
  large_mb=${LARGE_MB:-200} clients=${CLIENTS:-6}
  big=$BENCH_WORK/server-large-$large_mb
  if [[ ! -f $big/large.web ]]; then
    echo "making the project of one $large_mb MB file (once)..."
    mkdir -p "$big/site"
    head -c $((large_mb << 20)) /dev/urandom >"$big/site/large.bmp"
    echo '<html><body><a href="large.bmp">film</a></body></html>' >"$big/site/index.html"
    rm -f "$big/port"
    python3 "$root/scripts/serve_static.py" "$big/site" "$big/port" &
    site_pid=$!
    for _ in $(seq 100); do [[ -s $big/port ]] && break; sleep 0.1; done
    XDG_CACHE_HOME="$big/cache" "$cli" crawl "http://127.0.0.1:$(cat "$big/port")/index.html" \
      --dispatch-interval 0 -o "$big/large.web.tmp" >/dev/null || [ $? = 8 ]
    kill "$site_pid"
    mv "$big/large.web.tmp" "$big/large.web"
  fi
  large_port=$((serve_port + 2))
  XDG_CACHE_HOME="$big/cache" "$cli" serve "$big/large.web" --port "$large_port" >"$big/serve.out" &
  pids+=($!)
  large_pid=$!
  for _ in $(seq 600); do [[ $(wc -l <"$big/serve.out") -ge 2 ]] && break; sleep 0.1; done
  film=$(sed -n 2p "$big/serve.out" | sed 's/index.html$/large.bmp/')
  hwm() { awk '/^VmHWM/ {print int($2 / 1024)}' "/proc/$large_pid/status"; }
  before=$(hwm)
  downloads=()
  for i in $(seq "$clients"); do
    curl -s --max-time 300 -o /dev/null -w '%{size_download}\n' "$film" >"$big/got.$i" &
    downloads+=($!)
  done
  wait "${downloads[@]}" || true
  echo
  echo "| file | clients | peak RSS before | peak RSS after | bytes each client got |"
  echo "|---|---|---|---|---|"
  echo "| ${large_mb} MB | $clients | ${before} MB | $(hwm) MB | $(sort -u "$big"/got.* | tr '\n' ' ')|"
  kill "$large_pid"
fi

if [[ ${ABUSE:-1} == 1 ]]; then
  python3 "$here/abuse.py" --port "$serve_port" --pid "$serve_pid" \
    --page "/http://127.0.0.1:$BENCH_PORT/$page" --requests "${ABUSE_REQUESTS:-100000}"
fi
