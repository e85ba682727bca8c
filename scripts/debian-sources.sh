#!/usr/bin/env bash
# Unpacks Debian's source packages of the libraries the Windows builds compile themselves
# (Debian ships no MinGW-w64 build of them): scripts/debian-sources.sh DIR PACKAGE...
# Each package is unpacked once into DIR/PACKAGE (a stable link to its versioned folder); a
# later call finds it there and fetches nothing. A deb-src entry for the machine's own suites
# is added when the machine has none.
set -euo pipefail
dir=$1; shift
mkdir -p "$dir"
dir=$(realpath "$dir")

need=()
for p in "$@"; do [ -e "$dir/$p/.unpacked" ] || need+=("$p"); done
((${#need[@]})) || exit 0

if ! apt-get indextargets --format '$(IDENTIFIER)' 2>/dev/null | grep -qx Sources; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "no deb-src entry for this machine's suites (run as root to add one)" >&2
    exit 1
  fi
  # The same archives and suites as the binary entries, for source packages.
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -e "$f" ] || continue
    grep -q '^Types:.*deb-src' "$f" && continue
    awk 'BEGIN{RS=""; ORS="\n\n"} /^Types: deb\n/ {
           sub(/^Types: deb/, "Types: deb-src"); print }' "$f" \
      > "/etc/apt/sources.list.d/qrx-src-$(basename "$f")"
  done
  if [ -e /etc/apt/sources.list ]; then
    grep -E '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' \
      > /etc/apt/sources.list.d/qrx-src.list || true
  fi
  apt-get update -qq
fi
command -v dpkg-source >/dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y -qq dpkg-dev

for p in "${need[@]}"; do
  work=$(mktemp -d "$dir/.fetch-$p.XXXXXX")
  # The newest version first; a mirror that lacks it (a security update's sources not yet
  # mirrored) still serves the suite's own.
  fetched=
  for v in $(apt-cache showsrc "$p" 2>/dev/null | sed -n 's/^Version: //p' | sort -urV); do
    (cd "$work" && apt-get source -qq "$p=$v" >/dev/null 2>&1) && { fetched=$v; break; }
    rm -rf "${work:?}"/*
  done
  [ -n "$fetched" ] || (cd "$work" && apt-get source -qq "$p" >/dev/null)
  src=$(find "$work" -mindepth 1 -maxdepth 1 -type d | head -n 1)
  [ -n "$src" ] || { echo "apt-get source $p unpacked nothing" >&2; exit 1; }
  rm -rf "$dir/$p"
  mv "$src" "$dir/$p"
  rm -rf "$work"
  touch "$dir/$p/.unpacked"
  echo "unpacked $p into $dir/$p"
done
