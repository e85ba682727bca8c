#!/bin/sh
# qrx-doctor on the complete simulated deployment and on copies with one gap each.
set -u
doctor="$1"; station="$2"; work="$(mktemp -d)"; trap 'rm -rf "$work"' EXIT
fail=0
check() { # name expected-exit pattern dir
  out="$("$doctor" "$4" 2>&1)"; rc=$?
  if [ "$rc" != "$2" ] || ! printf '%s\n' "$out" | grep -q -- "$3"; then
    echo "FAIL $1: exit $rc (wanted $2), pattern '$3'"; printf '%s\n' "$out" | tail -5; fail=1
  else echo "ok   $1"; fi
}
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
exit $fail
