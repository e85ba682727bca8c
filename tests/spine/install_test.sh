#!/bin/sh
# Installs the build into a prefix other than the configured one and builds an outside project
# against it twice: with find_package(QRXInterface) and with pkg-config. Both must find the
# headers and the library under the new prefix, not under CMAKE_INSTALL_PREFIX.
set -eu
build="$1"; src="$2"; work="$(mktemp -d)"; trap 'rm -rf "$work"' EXIT
prefix="$work/moved prefix"
configured="$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build/CMakeCache.txt")"
[ "$prefix" != "$configured" ]
cmake --install "$build" --prefix "$prefix" >/dev/null
libdir="$(dirname "$(dirname "$(find "$prefix" -name 'qrxinterface.pc' | head -n 1)")")"

cmake -S "$src" -B "$work/b" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/b" >/dev/null
LD_LIBRARY_PATH="$libdir" "$work/b/fp"

PKG_CONFIG_PATH="$libdir/pkgconfig"; export PKG_CONFIG_PATH
cflags="$(pkg-config --cflags qrxinterface)"
libs="$(pkg-config --libs qrxinterface)"
case "$cflags" in *"$configured"*) echo "pkg-config names the configured prefix: $cflags" >&2; exit 1;; esac
# The flags name a path with a blank in it; pkg-config escapes it, so let the shell re-read them.
eval "c++ -std=c++20 -o \"\$work/pc\" \"\$src/main.cpp\" $cflags $libs"
LD_LIBRARY_PATH="$libdir" "$work/pc"
