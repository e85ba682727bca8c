#!/bin/sh
# Installs the build into a temporary prefix and builds an outside project against it with
# find_package(QRXInterface), then runs it.
set -eu
build="$1"; src="$2"; work="$(mktemp -d)"; trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" >/dev/null
cmake -S "$src" -B "$work/b" -G Ninja -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/b" >/dev/null
LD_LIBRARY_PATH="$work/prefix/lib:$work/prefix/lib64" "$work/b/fp"
