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
. "$(dirname "$0")/checks.sh"
step() { n="$1"; w="$2"; p="$3"; shift 3; expect_run "$n" "$w" "$p" "$run" --station "$work/st" --no-terminal "$@"; }
# Measured items with their limits, numbers and step in the record, and in the library's labels.
step calibration 0 "测试项目=GSM_NST_MeasPower TxPower" --stations 2 --json "$work/cal.json" "$examples/calibration.seq"
grep -q '"lower":"[-0-9.]*","lowerNumber":[-0-9.e]*,"monotonicNs":[0-9]*,"name":"GSM_NST_MeasPower TxPower","passed":true,"source":"TestDllQRXCal","stepIndex":9' "$work/cal.json" \
  || { echo "FAIL items record"; head -c 1500 "$work/cal.json"; fail=1; }
step final-tests 0 "RESULT: PASS" --stations 2 "$examples/gsm_td_final_test.seq"
step lte 0 "LTE_ReadPower_CabLoss(out)  -> 0  out=-1" --stations 2 "$examples/lte_final_test.seq"
step faulty-device 1 "FAIL .*GSM_NST_MeasPower(1, 62, 5)  -> 2" --config QRX_Faulty.xml "$examples/calibration.seq"
step identity-write 0 "RESULT: PASS" --stations 3 "$examples/identity_qrx.seq"
step identity-read 0 "RESULT: PASS" --stations 3 "$examples/identity_readback.seq"
step identity-other-index 1 "FAIL" --first-index 5 "$examples/identity_readback.seq"
# The same read-back as a unit record in JSON lines, before the UFI sequence reprograms device 0.
step json 0 "RESULT: PASS" --json "$work/r.json" "$examples/identity_readback.seq"
grep -q '"exportName":"ReadSN","index":2,"passed":true,"result":0' "$work/r.json" \
  && grep -q '"action":"read","fromPool":false,"kind":"sn","result":0,"stepIndex":2,"value":"QRXSIM10001"' "$work/r.json" \
  && grep -q '"serialNumber":"QRXSIM10001"' "$work/r.json" && grep -q '"verdict":"pass"' "$work/r.json" \
  || { echo "FAIL json unit record"; cat "$work/r.json"; fail=1; }
step ufi-identity 0 "RESULT: PASS" --stations 2 "$examples/identity_ufi.seq"
step wifi-barcode 0 "answered BRD1000000" --serial "BRD{station}000000" "$examples/wifi_ufi.seq"
step wifi-no-answer 1 "ReadBarcode_Ufi(out, 10)  -> 4" "$examples/wifi_ufi.seq"
step download 0 "download \[####################\] 100%" --stations 2 --json "$work/dl.json" "$examples/image_download.seq"
grep -q '"downloads":\[{"durationUs":[0-9]*,"image":"Images/bad_image.bin","outcome":"not started","stepIndex":1,"success":false},{"durationUs":[0-9]*,"image":"Images/sim_image.bin","outcome":"finished","stepIndex":2,"success":true}\]' "$work/dl.json" \
  || { echo "FAIL download records"; cat "$work/dl.json"; fail=1; }
[ "$(printf '%s\n' "$out" | grep -c 'download finished')" = 2 ] \
  || { echo "FAIL download: not one 'download finished' per download"; printf '%s\n' "$out" | grep download; fail=1; }
# Phone and UFI stations downloading at once through their two plug-ins.
step mixed-downloads 0 "RESULT: PASS" --stations 4 --serial "BRD{station}000000" \
  "$examples/image_download.seq" 3="$examples/ufi_line.seq" 4="$examples/ufi_line.seq"

# A unit that fails a measurement stops there and is never programmed; with --continue-on-fail
# it goes on. The summary names the failing step and why.
printf '@product QRX\nGSM_NST_MeasPower(1, 62, 5)\nInit_TestDLL_SN()\nOpenPort(1, 115200)\nWriteSN("NEVER{station}", 0)\nClosePort()\n' > "$work/prog.seq"
step stop-on-fail 1 "S1   unit 1   FAIL SN -.*prog.seq:2 GSM_NST_MeasPower(1, 62, 5) -> 2  \[2: the test library's result\]" \
  --config QRX_Faulty.xml --json "$work/fail.json" "$work/prog.seq"
printf '%s\n' "$out" | grep -q "WriteSN" && { echo "FAIL stop-on-fail: the failing unit was programmed"; fail=1; }
grep -q '"firstFailingStep":0' "$work/fail.json" && grep -q '"verdict":"fail"' "$work/fail.json" \
  && grep -q '"passed":false,"source":"TestDllQRXCal"' "$work/fail.json" \
  || { echo "FAIL stop-on-fail record"; cat "$work/fail.json"; fail=1; }
step continue-on-fail 1 "ok   .*WriteSN(\"NEVER{station}\", 0)  -> 0" --continue-on-fail --config QRX_Faulty.xml "$work/prog.seq"
# A typo in the business-configuration file name stops the run before anything is created.
step missing-config 2 "BusinessCfg/QRX_Statoin.xml does not exist" --config QRX_Statoin.xml "$examples/calibration.seq"
[ -e "$work/st/BusinessCfg/QRX_Statoin.xml" ] && { echo "FAIL missing-config: the file was created"; fail=1; }
# A 1 explained: the staging name that Common.xml lacks.
cp -r "$work/st" "$work/st2"
sed -i 's|<PALevel>[^<]*</PALevel>||' "$work/st2/BusinessCfg/Common.xml"
out="$("$run" --station "$work/st2" --no-terminal "$work/prog.seq" 2>&1)"
printf '%s\n' "$out" | grep -q "1: no staging name for QCal/PALevel in BusinessCfg/Common.xml" \
  || { echo "FAIL staging-name: $out" | tail -5; fail=1; }
# English for the library's labels, several units in a row and the operator's loop.
step english 0 "item=GSM_NST_MeasPower TxPower		value=" --lang en "$examples/calibration.seq"
step units 0 "S2   unit 3   PASS" --units 3 --stations 2 "$examples/identity_qrx.seq"
out="$(printf '\n\nq\n' | "$run" --station "$work/st" --no-terminal --loop "$examples/identity_qrx.seq" 2>&1)"
printf '%s\n' "$out" | grep -q "S1   unit 3   PASS" && ! printf '%s\n' "$out" | grep -q "unit 4" \
  || { echo "FAIL operator loop"; printf '%s\n' "$out" | tail -8; fail=1; }
exit $fail
