#!/usr/bin/env bash
# Pictures of the desktop program for a reviewer without a desktop: builds, crawls the sample
# site into a project, opens it in `tarnquill` on a virtual display and writes PNG screenshots of
# the main window (trees, lists, the browser showing a stored page) and of each dialog (properties,
# statistics, both wizards, new project, options, login, compiler finder, find files, export
# wizard) and of the search pane with its results; then an update's summary in the status bar,
# a crawl in progress (status bar, list tabs, statistics), the options pages that name this
# platform's services, the close prompt and the manual's first page. The last line printed is
# the folder that holds them.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
TQ_TARGETS="tarnquill tarnquill-cli" "$root/scripts/build.sh" >&2
build=${TQ_BUILD_DIR:-$root/build}
work=$(mktemp -d)
out=${1:-$root/build/screens}
python3 "$root/scripts/serve_static.py" "$root/samples/site" "$work/port" &
server=$!
trap 'kill "$server" 2>/dev/null || true; rm -rf "$work"' EXIT
for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.1; done
[ -s "$work/port" ] || { echo "the sample server did not start" >&2; exit 1; }
"$build/src/tarnquill-cli" crawl "http://127.0.0.1:$(cat "$work/port")/index.html" \
  -o "$work/sample.web" >/dev/null || [ $? = 8 ]  # 8: the sample's missing page failed
rm -rf "$out"
# The embedded browser runs as root only without its sandbox, and draws without a GPU here.
QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox --disable-gpu" \
  xvfb-run -a -s "-screen 0 1400x1000x24" \
  "$build/src/tarnquill" --screenshots "$out" "$work/sample.web" >"$work/log" 2>&1 ||
  { cat "$work/log" >&2; exit 1; }
ls "$out" >&2
echo "$out"
