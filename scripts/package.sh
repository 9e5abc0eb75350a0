#!/usr/bin/env bash
# Builds the Debian package build/tarnquill_VERSION_ARCH.deb from the normal build (debug
# information stripped; dependencies found by dpkg-shlibdeps) and checks it with lintian, which
# must report no error. Run as root on Debian 12.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TQ_BUILD_DIR:-$root/build}
export DEBIAN_FRONTEND=noninteractive
for tool in lintian:lintian dpkg-shlibdeps:dpkg-dev; do
  command -v "${tool%%:*}" >/dev/null ||
    apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${tool#*:}" \
      >/dev/null
done
TQ_TARGETS="tarnquill tarnquill-cli tarnquill-hhc tq_dist_files" "$root/scripts/build.sh"
(cd "$build" && cpack -G DEB -B "$build/package" >/dev/null)
deb=$(ls -t "$build"/package/tarnquill_*.deb | head -n1)
cp "$deb" "$build/"
deb="$build/$(basename "$deb")"
echo "== lintian $deb"
lintian --fail-on error --tag-display-limit 0 "$deb"
echo "$deb"
