#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, skipping those already there.
set -euo pipefail
packages=(cmake ninja-build g++ pkg-config libpcre2-dev googletest libgtest-dev libgmock-dev
          libbenchmark-dev libpugixml-dev libtinyxml2-dev binutils
          postgresql libpq-dev libsqlite3-dev nlohmann-json3-dev libcli11-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  if [ "$(id -u)" -ne 0 ]; then
    echo "missing packages: ${missing[*]} (run as root to install them)" >&2
    exit 1
  fi
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
fi
