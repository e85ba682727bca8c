#!/usr/bin/env bash
# Builds PostgreSQL's client library, libpq, from a PostgreSQL source tree as a static library
# for a MinGW-w64 target:
#   scripts/build-libpq-mingw.sh SOURCE_DIR BUILD_DIR TRIPLE C_COMPILER OUTPUT_DIR
# Only what libpq needs is configured and compiled (no readline, zlib, ICU, OpenSSL, LDAP or
# GSSAPI; the Windows security and socket libraries do that work). A finished build is kept:
# a second call with the same BUILD_DIR only copies the result again.
#
# The result, OUTPUT_DIR/lib/libpq.a with OUTPUT_DIR/include, is one object holding libpq
# with the parts of src/common and src/port it uses, and nothing global in it but libpq's
# exports: its internal helpers (among them its own pthread_mutex_lock on Windows critical
# sections) would otherwise take the place of the C runtime's and winpthread's functions in a
# program linked statically.
set -euo pipefail
src=$(realpath "$1") build=$2 triple=$3 cc=$4 out=$5
jobs=${QRX_JOBS:-2}
mkdir -p "$build" "$out/lib" "$out/include"
build=$(realpath "$build")

if [ ! -e "$build/config.status" ]; then
  (cd "$build" && "$src/configure" --host="$triple" CC="$cc" CFLAGS="-O2" \
     --without-readline --without-zlib --without-icu --without-openssl --without-ldap \
     --without-gssapi --without-llvm --without-perl --without-python --without-tcl \
     --disable-nls --disable-rpath --cache-file="$build/config.cache" >"$build/configure.log" 2>&1) ||
    { tail -n 30 "$build/configure.log" >&2; exit 1; }
fi

if [ ! -e "$build/libpq-bundle.o" ]; then
  # Only the variants libpq links (the _shlib archives), not the backend's or the programs'.
  make -s -C "$build/src/backend" generated-headers
  make -s -C "$build/src/port" -j "$jobs" libpgport_shlib.a
  make -s -C "$build/src/common" -j "$jobs" libpgcommon_shlib.a
  # libpq's objects only: its DLL is not wanted (and would need the programs' libraries too).
  echo 'qrx-objects: $(OBJS)' >"$build/objects.mk"
  make -s -C "$build/src/interfaces/libpq" -j "$jobs" -f Makefile -f "$build/objects.mk" qrx-objects
  prefix=""
  [ "$triple" = i686-w64-mingw32 ] && prefix="_"
  awk -v p="$prefix" '/^[A-Za-z_]/ { print p $1 }' "$src/src/interfaces/libpq/exports.txt" \
    > "$build/libpq-exports.txt"
  objects=$(ls "$build"/src/interfaces/libpq/*.o)
  # ld -r takes from the archives only the members libpq refers to.
  "$triple-ld" -r -o "$build/libpq-bundle.tmp.o" $objects \
    "$build/src/common/libpgcommon_shlib.a" "$build/src/port/libpgport_shlib.a"
  "$triple-objcopy" --keep-global-symbols="$build/libpq-exports.txt" \
    "$build/libpq-bundle.tmp.o" "$build/libpq-bundle.o"
  rm -f "$build/libpq-bundle.tmp.o"
fi

rm -f "$out/lib/libpq.a"
"$triple-ar" rcs "$out/lib/libpq.a" "$build/libpq-bundle.o"
cp "$src/src/interfaces/libpq/libpq-fe.h" "$src/src/include/postgres_ext.h" \
   "$build/src/include/pg_config_ext.h" "$out/include/"
