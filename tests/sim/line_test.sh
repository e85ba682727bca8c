#!/bin/sh
# The example sequences end to end on a private copy of the simulated station: verdicts,
# a configured faulty device, download progress, and the identity round trip across two runs.
set -u
run="$1"; station="$2"; examples="$3"; work="$(mktemp -d)"; trap 'rm -rf "$work"' EXIT
if [ -f "$station/libQRXInterface.so" ] && \
   ! nm -D --defined-only "$station/libQRXInterface.so" 2>/dev/null | grep -q " GSM_NST_MeasPower$"; then
  echo "libQRXInterface.so does not forward the test exports yet"; exit 77
fi
cp -r "$station" "$work/st"
export QRX_SIM_STATE_DIR="$work/state" QRX_SIM_DOWNLOAD_MS=200
fail=0
step() { # name expected-exit pattern args...
  name="$1"; want="$2"; pattern="$3"; shift 3
  out="$("$run" --station "$work/st" --no-terminal "$@" 2>&1)"; rc=$?
  if [ "$rc" != "$want" ] || ! printf '%s\n' "$out" | grep -q -- "$pattern"; then
    echo "FAIL $name: exit $rc (wanted $want), pattern '$pattern'"; printf '%s\n' "$out" | tail -15; fail=1
  else echo "ok   $name"; fi
}
step calibration 0 "RESULT: PASS" --stations 2 "$examples/calibration.seq"
step final-tests 0 "RESULT: PASS" --stations 2 "$examples/gsm_td_final_test.seq"
step lte 0 "LTE_ReadPower_CabLoss(out)  -> 0  out=-1" --stations 2 "$examples/lte_final_test.seq"
step test-items 0 "测试项目=GSM_NST_MeasPower TxPower" "$examples/calibration.seq"
step faulty-device 1 "FAIL .*GSM_NST_MeasPower(1, 62, 5)  -> 2" --config QRX_Faulty.xml "$examples/calibration.seq"
step identity-write 0 "RESULT: PASS" --stations 3 "$examples/identity_qrx.seq"
step identity-read 0 "RESULT: PASS" --stations 3 "$examples/identity_readback.seq"
step identity-other-index 1 "FAIL" --first-index 5 "$examples/identity_readback.seq"
# The same read-back as JSON lines, before the UFI sequence reprograms device 0.
step json 0 "RESULT: PASS" --json "$work/r.json" "$examples/identity_readback.seq"
grep -q '"step":"ReadSN(out=\\"QRXSIM{station}0001\\", 0)","result":0,"passed":true' "$work/r.json" \
  || { echo "FAIL json lines"; cat "$work/r.json"; fail=1; }
step ufi-identity 0 "RESULT: PASS" --stations 2 "$examples/identity_ufi.seq"
step wifi-barcode 0 "answered BRD1000000" --serial "BRD{station}000000" "$examples/wifi_ufi.seq"
step wifi-no-answer 1 "ReadBarcode_Ufi(out, 10)  -> 4" "$examples/wifi_ufi.seq"
step download 0 "download \[####################\] 100%" --stations 2 "$examples/image_download.seq"
# Phone and UFI stations downloading at once through their two plug-ins.
step mixed-downloads 0 "RESULT: PASS" --stations 4 --serial "BRD{station}000000" \
  "$examples/image_download.seq" 3="$examples/ufi_line.seq" 4="$examples/ufi_line.seq"
exit $fail
