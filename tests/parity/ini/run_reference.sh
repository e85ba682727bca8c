#!/bin/sh
# Runs the INI reference program under Wine: run_reference.sh <wine> <program> <case dir> <prefix>.
# The prefix lives in the build tree and is made on first use (a few seconds); Wine runs with the
# Chinese ANSI code page 936, that of the stations.
set -u
wine=$1 program=$2 dir=$3 prefix=$4
export WINEPREFIX="$prefix" WINEDEBUG=-all LC_ALL=zh_CN.UTF-8
run() { "$wine" "$program" "$dir" > "$dir/wine.log" 2>&1; }
if ! run; then
  # A prefix made by another Wine installation (say before wine32 was added) no longer starts:
  # make it anew once.
  if grep -q "could not load" "$dir/wine.log"; then
    echo "Wine prefix $prefix is unusable; making it anew" >&2
    rm -rf "$prefix"
    run && exit 0
  fi
  cat "$dir/wine.log" >&2
  exit 1
fi
