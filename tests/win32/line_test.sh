#!/bin/sh
# The simulated line of the Linux build, run with the Windows qrx-run.exe and DLLs under Wine:
# the same sequences must give the same verdicts, and the units land in the deployment's SQLite
# results store. A small wrapper hands qrx-run.exe Windows forms of the folders and files the
# shared line test names.
# Usage: line_test.sh <qrx-run.exe> <station dir> <examples dir> <wine prefix> [store [web]]
set -u
exe="$1"; station="$2"; examples="$3"
export WINEPREFIX="$4" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# The stations' texts are in code page 936, as on the line's Chinese Windows hosts.
export QRX_ACP=936
wrap="$(mktemp -d)"; trap 'rm -rf "$wrap"' EXIT
cat > "$wrap/qrx-run" <<WRAPPER
#!/bin/sh
# Absolute paths, alone or after "N=", become Windows paths.
first=1
for a in "\$@"; do
  if [ \$first = 1 ]; then set --; first=0; fi
  case "\$a" in
    /*) a="\$(winepath -w "\$a" 2>/dev/null)" ;;
    [0-9]=/*|[0-9][0-9]=/*) a="\${a%%=*}=\$(winepath -w "\${a#*=}" 2>/dev/null)" ;;
  esac
  set -- "\$@" "\$a"
done
exec wine "$exe" "\$@"
WRAPPER
chmod +x "$wrap/qrx-run"
sh "$(dirname "$0")/../sim/line_test.sh" "$wrap/qrx-run" "$station" "$examples"; rc=$?
[ "${5:-}" = store ] || exit $rc
# The units of a two-station run in the deployment's SQLite results store, whole.
cp -r "$station" "$wrap/st"
# Only this run's journals and units: other tests leave theirs in the build's station folder.
rm -rf "$wrap/st/Journal" "$wrap/st/Results"
QRX_SIM_STATE_DIR="$wrap/state" "$wrap/qrx-run" --station "$wrap/st" --no-terminal --stations 2 \
  "$examples/identity_qrx.seq" >"$wrap/out" 2>&1 || { echo "FAIL store run"; tail -5 "$wrap/out"; rc=1; }
units=$(python3 -c 'import sqlite3, sys; db = sqlite3.connect(sys.argv[1]); print(db.execute(
  "SELECT COUNT(*), SUM(verdict = '"'pass'"'), SUM((SELECT COUNT(*) FROM steps s WHERE "
  "s.unit_id = u.unit_id) = u.step_count AND u.step_count > 0) FROM units u").fetchone())' \
  "$wrap/st/Results/results.db" 2>&1)
[ "$units" = "(2, 2, 2)" ] && echo "ok   sqlite store" || { echo "FAIL sqlite store: $units"; rc=1; }

# qrx-collector.exe over the same journals finds every unit recorded already: none twice.
collector="$(dirname "$exe")/qrx-collector.exe"
if [ -e "$collector" ]; then
  wine "$collector" --once --station "$(winepath -w "$wrap/st")" >"$wrap/collector.out" 2>&1 ||
    { echo "FAIL collector run"; tail -5 "$wrap/collector.out"; rc=1; }
  again=$(python3 -c 'import sqlite3, sys; print(sqlite3.connect(sys.argv[1]).execute(
    "SELECT COUNT(*) FROM units").fetchone()[0])' "$wrap/st/Results/results.db" 2>&1)
  [ "$again" = 2 ] && echo "ok   collector exactly once" || { echo "FAIL collector: $again units"; rc=1; }
fi

# The live page of qrx-run.exe, read from this side of Wine while the finished run lingers.
[ "${6:-}" = web ] || exit $rc
command -v curl >/dev/null || { echo "SKIP live page: no curl"; exit $rc; }
port=$((20000 + $$ % 20000))
cp -r "$station" "$wrap/web"
QRX_SIM_STATE_DIR="$wrap/webstate" "$wrap/qrx-run" --station "$wrap/web" --no-terminal --stations 2 \
  --web "127.0.0.1:$port" --web-linger 120 "$examples/identity_qrx.seq" >"$wrap/web.out" 2>&1 &
run=$!
page=""
for _ in $(seq 1 120); do
  page=$(curl -s -m 2 "http://127.0.0.1:$port/api/units" || true)
  [ "$(printf '%s\n' "$page" | grep -c '"serialNumber":"QRXSIM')" = 2 ] && break
  sleep 1
done
kill "$run" 2>/dev/null; wait "$run" 2>/dev/null
if [ "$(printf '%s\n' "$page" | grep -c '"serialNumber":"QRXSIM')" = 2 ]; then echo "ok   live page"
else echo "FAIL live page: $(printf '%s' "$page" | head -c 300)"; tail -5 "$wrap/web.out"; rc=1; fi
exit $rc
