#!/usr/bin/env bash
# Installs the Debian 12 packages Tarnquill needs to build and test, only those missing.
# Quiet when everything is present. Run as root.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
  qt6-base-dev libjemalloc-dev libcurl4-openssl-dev libssl-dev libicu-dev libxml2-dev libzip-dev
  libcli11-dev clang-format libgtest-dev libgmock-dev libbenchmark-dev
  lhasa microsocks python3 python3-pyftpdlib openssl ca-certificates xdg-utils
  zlib1g-dev fp-utils libchm-bin unzip chromium
  qt6-webengine-dev xvfb xauth libgl1-mesa-dri fonts-dejavu-core
  shared-mime-info desktop-file-utils libfile-mimeinfo-perl python3-gi gir1.2-glib-2.0
  dbus-daemon python3-dbus appstream man-db
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get -o DPkg::Lock::Timeout=600 update -qq
  apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
