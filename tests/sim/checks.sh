# Sourced by the tool tests. expect_run NAME EXIT PATTERN COMMAND...: runs COMMAND, keeps what
# it printed in $out and says ok, or FAIL with the end of the output and sets fail.
fail=0
expect_run() {
  name="$1"; want="$2"; pattern="$3"; shift 3
  out="$("$@" 2>&1)"; rc=$?
  if [ "$rc" != "$want" ] || ! printf '%s\n' "$out" | grep -q -- "$pattern"; then
    echo "FAIL $name: exit $rc (wanted $want), pattern '$pattern'"; printf '%s\n' "$out" | tail -15; fail=1
  else echo "ok   $name"; fi
}
