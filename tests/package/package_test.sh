#!/bin/sh
# Builds the Debian packages of the build directory, unpacks them into a scratch root as an
# installation would, and uses them as an outsider does: builds a consumer against the -dev
# package with CMake and with pkg-config, and runs the simulated line from the tools package
# with the installed, shared library serving the station through QRX_STATION_DIR. The scratch
# root's path holds a blank: the installed files find each other wherever they are unpacked.
set -u
build="$1"; consumer="$2"; scratch="$(mktemp -d)"; trap 'rm -rf "$scratch"' EXIT
work="$scratch/scratch root"; mkdir "$work"
fail=0
ok() { echo "ok   $1"; }
bad() { echo "FAIL $1"; fail=1; }

(cd "$build" && cpack -G DEB -B "$work/debs" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; exit 1; }
root="$work/root"
for package in libqrxinterface1 libqrxinterface-dev qrxinterface-tools; do
  deb="$(ls "$work/debs/${package}_"*.deb 2>/dev/null | head -n 1)"
  [ -n "$deb" ] || { bad "no package $package"; continue; }
  dpkg-deb -x "$deb" "$root"
  eval "control_$(printf '%s' "$package" | tr -c 'a-z0-9\n' '_')=\"\$(dpkg-deb -f \"\$deb\" Package Depends)\""
done
[ $fail = 0 ] || exit 1

# The runtime package holds the library under its SONAME, the -dev package the link to it.
lib="$(find "$root" -name 'libQRXInterface.so.1' | head -n 1)"
libdir="$(dirname "$lib")"
soname="$(objdump -p "$libdir/libQRXInterface.so.1" | sed -n 's/^ *SONAME *//p')"
[ "$soname" = libQRXInterface.so.1 ] && [ -f "$libdir/libQRXInterface.so.1.0.0" ] &&
  [ "$(readlink "$libdir/libQRXInterface.so")" = libQRXInterface.so.1 ] &&
  ok "library under its SONAME" || bad "library files: soname '$soname'"
dpkg-deb -c "$work/debs/"libqrxinterface1_*.deb | grep -q 'include/' && bad "headers in the runtime package"
printf '%s\n' "$control_libqrxinterface_dev" | grep -q 'Depends: libqrxinterface1 (= ' &&
  printf '%s\n' "$control_qrxinterface_tools" | grep -q 'Depends: libqrxinterface1 (= ' &&
  ok "dependencies on the exact runtime" || bad "dependencies: $control_libqrxinterface_dev / $control_qrxinterface_tools"
[ -f "$root/usr/share/doc/QRXInterface/export-reference.md" ] && [ -f "$root/usr/share/man/man1/qrx-run.1" ] &&
  ok "reference and manual pages" || bad "reference or manual pages missing"

# An outside consumer, with CMake and with pkg-config.
cmake -S "$consumer" -B "$work/b" -G Ninja -DCMAKE_PREFIX_PATH="$root/usr" >"$work/cmake.log" 2>&1 &&
  cmake --build "$work/b" >>"$work/cmake.log" 2>&1 && LD_LIBRARY_PATH="$libdir" "$work/b/fp" &&
  ok "CMake consumer" || { bad "CMake consumer"; tail -20 "$work/cmake.log"; }
# pkg-config escapes the blank in the flags it gives: the shell re-reads them.
PKG_CONFIG_PATH="$libdir/pkgconfig" pkg-config --cflags --libs qrxinterface >"$work/flags" 2>&1 &&
  eval "c++ -std=c++20 -o \"\$work/pc\" \"\$consumer/main.cpp\" $(cat "$work/flags")" &&
  LD_LIBRARY_PATH="$libdir" "$work/pc" && ok "pkg-config consumer" || { bad "pkg-config consumer"; cat "$work/flags"; }

# The simulated line from the installed files: the station's libQRXInterface.so is a link to
# the shared library, which finds the station's BusinessCfg through QRX_STATION_DIR.
station="$root/usr/share/qrxinterface/station"
examples="$root/usr/share/qrxinterface/examples"
[ -L "$station/libQRXInterface.so" ] && [ "$(cd "$station" && realpath libQRXInterface.so)" = "$(realpath "$lib")" ] &&
  ok "station uses the shared library" || bad "station library is not the shared one"
export QRX_SIM_STATE_DIR="$work/state" QRX_SIM_DOWNLOAD_MS=100
out="$(QRX_STATION_DIR="$station" "$root/usr/bin/qrx-run" --station "$station" --no-terminal --stations 2 \
  --serial "BRD{station}000000" "$examples/identity_qrx.seq" 2="$examples/wifi_ufi.seq" 2>&1)"; rc=$?
[ $rc = 0 ] && printf '%s\n' "$out" | grep -q "^RESULT: PASS" &&
  ok "line from the installed files" || { bad "line from the installed files: exit $rc"; printf '%s\n' "$out" | tail -15; }
out="$("$root/usr/bin/qrx-run" --station "$station" --no-terminal "$examples/identity_qrx.seq" 2>&1)"; rc=$?
# The library is loaded through the station's link: its folder is the link's, as Windows
# names a module by the path it was loaded from, so the station's own BusinessCfg is read.
[ $rc = 0 ] && printf '%s\n' "$out" | grep -q "^RESULT: PASS" &&
  ok "without QRX_STATION_DIR the station's link reads the station's configuration" ||
  { bad "without QRX_STATION_DIR: exit $rc"; printf '%s\n' "$out" | tail -15; }
# A Python host from the installed package, on the same installed station: the package sees
# that the station's library lives elsewhere and names the station through QRX_STATION_DIR.
out="$(env -u QRX_STATION_DIR PYTHONPATH="$root/usr/lib/python3/dist-packages" QRX_SIM_STATE_DIR="$work/pystate" \
  python3 "$examples/run_line.py" "$station" 2>&1)"; rc=$?
[ $rc = 0 ] && printf '%s\n' "$out" | grep -q "^RESULT: PASS" && ok "Python host from the installed files" ||
  { bad "Python host from the installed files: exit $rc"; printf '%s\n' "$out" | tail -15; }
"$root/usr/bin/qrx-doctor" --sequence "$examples/identity_qrx.seq" "$station" >"$work/doctor" 2>&1 &&
  ok "qrx-doctor on the installed station" || { bad "qrx-doctor on the installed station"; tail "$work/doctor"; }
exit $fail
