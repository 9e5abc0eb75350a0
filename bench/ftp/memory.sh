#!/usr/bin/env bash
# Peak memory of an FTP retrieval against the size of the file.
#
#   bench/ftp/memory.sh [MB...]     file sizes in megabytes (default 20 200)
#
# For each size, serves a file of random bytes with Debian's pyftpdlib on a loopback port and
# crawls it with tarnquill-cli (passive, then active), reporting the peak resident memory
# (/usr/bin/time) and what is left after taking the file's own size away. A retrieval that holds
# the file once shows the same overhead for every size. TQ_CLI picks the binary.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cli=${TQ_CLI:-$root/build/src/tarnquill-cli}
[[ -x $cli ]] || { echo "build tarnquill-cli first (scripts/build.sh)" >&2; exit 1; }
/usr/bin/python3 -c 'import pyftpdlib' 2>/dev/null || { echo "apt-get install python3-pyftpdlib" >&2; exit 1; }
work=$(mktemp -d /tmp/tq-ftp-bench-XXXXXX)
port=${FTP_PORT:-18121}
server=
cleanup() { [[ -n $server ]] && kill "$server" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
mkdir -p "$work/root"
/usr/bin/python3 "$root/tests/support/ftp_server.py" --port "$port" --root "$work/root" 2>/dev/null &
server=$!
for _ in $(seq 100); do (echo >/dev/tcp/127.0.0.1/$port) 2>/dev/null && break; sleep 0.1; done
echo "load: $(uptime | sed 's/.*load average: //')"
printf '%-8s %-8s %12s %12s %8s\n' size mode peak_kb overhead_kb seconds
sizes=("$@")
[[ ${#sizes[@]} -gt 0 ]] || sizes=(20 200)
for mb in "${sizes[@]}"; do
  head -c "$((mb << 20))" /dev/urandom >"$work/root/file.bin"
  for mode in passive active; do
    flag=()
    [[ $mode == passive ]] && flag=(--ftp-passive)
    start=$(date +%s.%N)
    /usr/bin/time -f '%M' -o "$work/time" env TARNQUILL_CONFIG="$work/config.dat" \
      "$cli" crawl "ftp://127.0.0.1:$port/file.bin" "${flag[@]}" --dispatch-interval 0 >"$work/out"
    end=$(date +%s.%N)
    grep -q "^Ready" "$work/out" || { echo "the retrieval failed:" >&2; cat "$work/out" >&2; exit 1; }
    peak=$(tail -1 "$work/time")
    printf '%-8s %-8s %12d %12d %8.2f\n' "${mb}MB" "$mode" "$peak" "$((peak - (mb << 10)))" \
      "$(echo "$end - $start" | bc)"
  done
done
