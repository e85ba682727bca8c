#!/bin/sh
# qrx-run refuses malformed sequence lines, naming the file and line, before running anything.
set -u
run="$1"; work="$(mktemp -d)"; trap 'rm -rf "$work"' EXIT
. "$(dirname "$0")/checks.sh"
expect() { # name line-text expected-message
  printf '# header\nInit_TestInterface()\n%s\n' "$2" > "$work/s.seq"
  expect_run "$1" 2 "s.seq:3: $3" "$run" --check "$work/s.seq"
}
expect too-few 'GSM_NST_MeasPower(1, 2)' "GSM_NST_MeasPower takes 3 argument(s) (int, int, int), got 2"
expect too-many 'ClosePort(1)' "ClosePort takes 0 argument(s) (no arguments), got more"
expect int-type 'GSM_NST_MeasPower(1, 2.5, 3)' "argument 2 of GSM_NST_MeasPower must be an integer"
expect int-range 'Check_TestInfo(4294967296)' "argument 1 of Check_TestInfo must be an integer"
expect text-type 'Mode_Select_TDFT(TD)' "argument 1 of Mode_Select_TDFT must be a text"
expect double-type 'TxEVM_TDFT("x")' "argument 1 of TxEVM_TDFT must be a number"
expect buffer-type 'Check_SN("x")' "argument 1 of Check_SN must be out"
expect no-expectation 'ClosePort() =' "the expected result must be an integer or any"
expect lifecycle 'InitQRXInterface(0, "a", "QRX")' "InitQRXInterface is called by qrx-run"
expect directive '@wait 5' "unknown directive '@wait'"
expect unclosed 'WriteSN("abc, 0)' "argument 1 of WriteSN must be a text"
expect no-number 'TxOBW_TDFT(1e999, 1)' "argument 1 of TxOBW_TDFT must be a number"
expect callback 'StartDownloadImage("a", 0, callback, "", 0, 0, "")' "argument 3 of StartDownloadImage must be progress or null"
expect observer 'RegisterObserver(obs)' "argument 1 of RegisterObserver"
expect trailing 'ClosePort() extra' "unexpected text after the call"
expect sleep '@sleep -1' "@sleep takes milliseconds"
expect no-parenthesis 'ClosePort' "expected '(' after ClosePort"
expect no-name '(1)' "expected an export name"
# Every faulty line is reported, in order, past directives and calls alike; a misspelt export
# gets the closest catalogue name (in the catalogue's own spelling), a far-off word or one too
# short to guess at none.
printf 'GSM_NST_MeasPowr(1, 2, 3)\nClosePort()\n@sleep x\nchecK_sn(out)\nStopDownloadImage()\nX()\n' > "$work/s.seq"
printf 'InitEverything()\nReadSN(out, 0) = maybe\n' >> "$work/s.seq"
want="s.seq:1: unknown export 'GSM_NST_MeasPowr' (did you mean GSM_NST_MeasPower?)
s.seq:3: @sleep takes milliseconds, got 'x'
s.seq:4: unknown export 'checK_sn' (did you mean Check_SN?)
s.seq:5: unknown export 'StopDownloadImage' (did you mean StopDoadloadImage?)
s.seq:6: unknown export 'X'
s.seq:7: unknown export 'InitEverything'
s.seq:8: the expected result must be an integer or any, got 'maybe'"
err="$("$run" --check "$work/s.seq" 2>&1)"
[ "$(printf '%s\n' "$err" | grep -o 's\.seq:.*')" = "$want" ] || { echo "FAIL every faulty line: $err"; fail=1; }
printf 'ClosePort()\nReadSN(out="x", 0) = any\nRegisterObserver(null) = 1\n@sleep 1\n' > "$work/ok.seq"
"$run" --check "$work/ok.seq" >/dev/null 2>&1 || { echo "FAIL a valid sequence was refused"; fail=1; }
# Option mistakes are refused the same way, before anything runs.
option() { n="$1"; m="$2"; shift 2; expect_run "$n" 2 "$m" "$run" "$@"; } # name expected-message args...
option no-sequence "sequences is required" --stations 2
option unknown-option "not expected: --bogus" --bogus "$work/ok.seq"
option stations-range "--stations: Value 0 not in range 1 to 64" --stations 0 "$work/ok.seq"
option language "--lang: fr not in" --lang fr "$work/ok.seq"
unset QRX_WEB_TOKEN # a page other machines could reach needs a token
option web-token "give --web-token" --web 0.0.0.0:0 "$work/ok.seq"
option web-address "no port" --web 127.0.0.1 "$work/ok.seq"
option web-port "from 0 to 65535" --web 127.0.0.1:70000 "$work/ok.seq"
option web-token-alone "requires --web" --web-token x "$work/ok.seq"
"$run" --check --serial 1=A --serial B --config 2=X.xml "$work/ok.seq" >/dev/null 2>&1 \
  || { echo "FAIL repeated per-station options were refused"; fail=1; }
exit $fail
