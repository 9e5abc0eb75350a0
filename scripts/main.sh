#!/usr/bin/env bash
# The main job: install, build, then crawl the sample site (served on a free loopback port) into
# a project file, print its link lists, and show how to read the saved project back.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh"
cli="$root/build/src/tarnquill-cli"
work=$(mktemp -d)
python3 "$root/scripts/serve_static.py" "$root/samples/site" "$work/port" &
server=$!
trap 'kill "$server" 2>/dev/null || true; rm -rf "$work"' EXIT
for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.1; done
[ -s "$work/port" ] || { echo "the sample server did not start" >&2; exit 1; }
url="http://127.0.0.1:$(cat "$work/port")/index.html"
project="$root/build/sample.web"

echo "== tarnquill-cli crawl $url -o $project"
# The sample site links a missing page on purpose: 8 says the crawl saved its Failed list.
status=0
"$cli" crawl "$url" -o "$project" || status=$?
[ "$status" = 0 ] || [ "$status" = 8 ] || { echo "the crawl failed ($status)" >&2; exit "$status"; }
echo
echo "== tarnquill-cli list $project --list failed"
"$cli" list "$project" --list failed
echo
echo "Saved: $project  (try: $cli list $project; $cli show $project $url)"
