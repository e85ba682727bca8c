#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, skipping those already there:
# clang and its sanitizer runtime for the fuzz run, python3-pytest for the Python package,
# python3-selenium for the browser test, dpkg-dev and file for building and checking the Debian
# packages, groff-base for checking the manual pages.
set -euo pipefail
packages=(cmake ninja-build g++ pkg-config libpcre2-dev googletest libgtest-dev libgmock-dev
          libbenchmark-dev libpugixml-dev libtinyxml2-dev binutils libcli11-dev nlohmann-json3-dev
          clang libclang-rt-14-dev python3 python3-pytest dpkg-dev file groff-base nodejs
          libcpp-httplib-dev chromium chromium-driver python3-selenium postgresql libpq-dev libsqlite3-dev
          # IPC-CFX over AMQP 1.0: Qpid Proton's C++ client, zlib, and a RabbitMQ broker for the
          # tests (they start a node of their own; the system service is not used).
          libqpid-proton-cpp12-dev zlib1g-dev rabbitmq-server
          # Windows builds: MinGW-w64 (posix threads), Wine 64- and 32-bit, a virtual display
          # for the windows, a CJK font for the dialogs' texts, ImageMagick for screenshots.
          g++-mingw-w64-x86-64 g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
          binutils-mingw-w64 libz-mingw-w64-dev wine wine64 wine32:i386 xvfb xauth curl fonts-wqy-zenhei imagemagick
          # SQLite's one-file source is made with tclsh; libpq's configure and make for MinGW.
          tcl make)
# wine32 comes from Debian's i386 architecture.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "the i386 architecture is not enabled (run as root to enable it)" >&2
    exit 1
  fi
  dpkg --add-architecture i386
fi
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
# Debian's nodejs comes without npm (other builds of Node.js carry their own).
if ! command -v npm >/dev/null; then
  if [ "$(id -u)" -ne 0 ]; then echo "missing: npm (run as root to install it)" >&2; exit 1; fi
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq npm
fi
