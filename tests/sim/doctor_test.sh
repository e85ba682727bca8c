#!/bin/sh
# qrx-doctor on the complete simulated deployment and on copies with one gap each.
set -u
doctor="$1"; station="$2"; work="$(mktemp -d)"; trap 'rm -rf "$work"' EXIT
. "$(dirname "$0")/checks.sh"
check() { n="$1"; w="$2"; p="$3"; d="$4"; shift 4; expect_run "$n" "$w" "$p" "$doctor" "$@" "$d"; } # ... dir [options]
fresh() { rm -rf "$work/d"; cp -r "$station" "$work/d"; }
fresh; check complete 0 "DEPLOYMENT OK" "$work/d"
fresh; sed -i 's#<Band>QCal_Band</Band>##' "$work/d/BusinessCfg/Common.xml"
check common-key 1 "QCal/Band .*GAP" "$work/d"
fresh; rm "$work/d/BusinessCfg/Common.xml"; check no-common 1 "Common.xml .*GAP" "$work/d"
fresh; printf '<phone><Cal>' > "$work/d/BusinessCfg/Common.xml"; check broken-common 1 "GAP" "$work/d"
fresh; cp "$work/d/TestDll/TDFT.so" "$work/d/TestDll/GsmFt.so"
check library-function 1 "GsmFt: MeasPower .*not exported" "$work/d"
fresh; rm "$work/d/TestDll/FinalTestLTE.so"; check missing-library 1 "FinalTestLTE.so .*GAP" "$work/d"
fresh; cp "$work/d/Plugins/BI_GSM_QRX.so" "$work/d/Plugins/BI_QRX.so"
check plugin-export 1 "BI_QRX.so .*LoadQRXDll" "$work/d"
fresh; sed -i '/<BASEINFO>/,/<\/BASEINFO>/d' "$work/d/BusinessCfg/UFI_Station.xml"
check business-section 1 "UFI_Station.xml: BASEINFO .*GAP" "$work/d"
fresh; sed -i 's/<phone model="SIM-PHONE-X1"/<station model="SIM-PHONE-X1"/; s#</phone>#</station>#' "$work/d/BusinessCfg/QRX_Station.xml"
check business-root 1 "QRX_Station.xml: root element .*GAP" "$work/d"

# --sequence checks only what the sequence calls: a gap no call of it needs is not reported.
printf 'Init_TestInterface_Ufi()\nWiFi_Config_Channel_Ufi(6)\n' > "$work/ufi.seq"
printf 'GSM_NST_MeasPower(1, 62, 5)\n' > "$work/gsm.seq"
fresh; sed -i 's#<Band>QCal_Band</Band>##' "$work/d/BusinessCfg/Common.xml"
check sequence-unaffected 0 "DEPLOYMENT OK" "$work/d" --sequence "$work/ufi.seq"
check sequence-affected 1 "QCal/Band .*GAP" "$work/d" --sequence "$work/ufi.seq" --sequence "$work/gsm.seq"
fresh; cp "$work/d/TestDll/TDFT.so" "$work/d/TestDll/GsmFt.so"
check sequence-library 0 "DEPLOYMENT OK" "$work/d" --sequence "$work/ufi.seq"
printf 'GSM_NST_MeasPowr(1, 62, 5)\n' > "$work/bad.seq"
check sequence-misspelt 2 "did you mean GSM_NST_MeasPower" "$work/d" --sequence "$work/bad.seq"

# Two arguments of one export staged under one data-set name: one value would feed both.
fresh; sed -i 's#<Channel>QCal_Channel</Channel>#<Channel>QCal_Band</Channel>#' "$work/d/BusinessCfg/Common.xml"
check collision 1 "GSM_NST_MeasPower: QCal_Band .*GAP.*QCal/Band and QCal/Channel" "$work/d"

# The JSON report says the same as the table.
fresh; rm "$work/d/TestDll/FinalTestLTE.so"
"$doctor" --json "$work/d" > "$work/report.json"; rc=$?
if [ "$rc" = 1 ] && python3 -c '
import json, sys
r = json.load(open(sys.argv[1]))
gaps = [c for c in r["checks"] if c["state"] == "GAP"]
assert not r["ok"] and r["gaps"] >= 1 and any("FinalTestLTE" in c["item"] for c in gaps), r
' "$work/report.json"; then echo "ok   json"; else echo "FAIL json: exit $rc"; fail=1; fi
check version 0 "^qrx-doctor [0-9]" "$work/d" --version
check bad-option 2 "" "$work/d" --stations 0
exit $fail
