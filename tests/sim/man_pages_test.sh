#!/bin/sh
# Every option a tool's --help lists is documented in its manual page, the page renders without
# roff warnings, and the tools that already have --version print "<name> <version>".
set -u
build="$1"; pages="$2"; version="$3"; fail=0
for tool in qrx-run qrx-doctor; do
  page="$pages/$tool.1"
  [ -f "$page" ] || { echo "FAIL $tool: no manual page"; fail=1; continue; }
  for option in $("$build/$tool" --help 2>&1 | grep -o -- '--[a-z][a-z-]*' | sort -u); do
    grep -q -- "$(printf '%s' "$option" | sed 's/-/\\\\-/g; s/^/\\\\f[BI]*/')\|$option" "$page" ||
      { echo "FAIL $tool: $option is not in its manual page"; fail=1; }
  done
  warnings="$(LC_ALL=C.UTF-8 MANWIDTH=80 groff -man -Tutf8 -ww -z "$page" 2>&1)"
  [ -z "$warnings" ] || { echo "FAIL $tool: roff warnings: $warnings"; fail=1; }
  grep -q "QRXInterface $version" "$page" || { echo "FAIL $tool: page without the version"; fail=1; }
done
for tool in qrx-doctor qrx-catalogue; do
  out="$("$build/$tool" --version 2>&1)"
  [ "$out" = "$tool $version" ] || { echo "FAIL $tool --version printed '$out'"; fail=1; }
done
[ $fail = 0 ] && echo "ok   manual pages and versions"
exit $fail
