#!/usr/bin/env bash
# Installs a build into a temporary folder (DESTDIR) and checks what a user's system would get:
# the programs, the shipped files, the desktop entry, icons, MIME type, AppStream metadata and man
# pages, each passed through the tool that reads it on a desktop. Usage: check_install.sh BUILD
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?usage: check_install.sh BUILD}" && pwd)
dest=$(mktemp -d)
trap 'rm -rf "$dest"' EXIT
DESTDIR="$dest" cmake --install "$build" --prefix /usr >/dev/null
usr="$dest/usr"
id=org.tarnquill.Tarnquill
status=0
fail() { echo "check_install: $*" >&2; status=1; }

expected=(
  bin/tarnquill bin/tarnquill-cli bin/tarnquill-hhc
  share/tarnquill/icons/tarnquill.svg share/tarnquill/icons/tarnquill.png
  "share/applications/$id.desktop" "share/mime/packages/$id.xml" "share/metainfo/$id.metainfo.xml"
  "share/icons/hicolor/scalable/apps/$id.svg"
  share/man/man1/tarnquill.1.gz share/man/man1/tarnquill-cli.1.gz
  share/man/man1/tarnquill-hhc.1.gz
  share/doc/tarnquill/copyright share/doc/tarnquill/changelog.gz
)
for size in 16 24 32 48 64 128 256; do
  expected+=("share/icons/hicolor/${size}x${size}/apps/$id.png")
done
for file in "${expected[@]}"; do [ -s "$usr/$file" ] || fail "missing $file"; done
for program in tarnquill tarnquill-cli tarnquill-hhc; do
  [ -x "$usr/bin/$program" ] || fail "bin/$program is not executable"
done
# Nothing lands outside the prefix, nothing under etc or var.
outside=$(cd "$dest" && find . -mindepth 1 -maxdepth 1 ! -name usr)
[ -z "$outside" ] || fail "installed outside /usr: $outside"

# Each icon is as large as the folder it is in says.
python3 - "$usr/share/icons/hicolor" "$id" <<'PY' || status=1
import struct, sys, pathlib
for png in pathlib.Path(sys.argv[1]).glob(f"*x*/apps/{sys.argv[2]}.png"):
    width, height = struct.unpack(">II", png.read_bytes()[16:24])
    if f"{width}x{height}" != png.parts[-3]:
        print(f"check_install: {png.parts[-3]} icon is {width}x{height}", file=sys.stderr)
        sys.exit(1)
PY

desktop-file-validate "$usr/share/applications/$id.desktop" || fail "desktop entry"
metainfo="$usr/share/metainfo/$id.metainfo.xml"
appstreamcli validate --no-net "$metainfo" >/dev/null ||
  fail "AppStream metadata: $(appstreamcli validate --no-net "$metainfo")"
mime="$dest/mime"
mkdir -p "$mime/packages" && cp "$usr/share/mime/packages/$id.xml" "$mime/packages/"
update-mime-database "$mime" && grep -q '^application/x-tarnquill-project:\*\.web$' "$mime/globs" ||
  fail "the MIME package does not name *.web"
for page in tarnquill tarnquill-cli tarnquill-hhc; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$usr/share/man/man1/$page.1.gz" \
    2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man page $page: $warnings"
done

# The installed program runs from where it was installed, and its help matches its man page.
"$usr/bin/tarnquill-cli" --version | grep -q '^tarnquill-cli ' || fail "tarnquill-cli --version"
python3 "$root/scripts/check_man.py" "$usr/bin/tarnquill-cli" "$root/dist/man/tarnquill-cli.1" ||
  fail "tarnquill-cli(1) and tarnquill-cli --help differ"
exit $status
