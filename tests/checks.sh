# Named checks for the script tests: `check NAME COMMAND...` counts COMMAND's
# success, or prints "FAILED: NAME" on stderr; `checks_done` prints the closing
# "N passed, N failed" line and returns non-zero when any check failed.
failures=0
passes=0

check() {
  local name=$1
  shift
  if "$@"; then
    passes=$((passes + 1))
  else
    echo "FAILED: $name" >&2
    failures=$((failures + 1))
  fi
}

checks_done() {
  echo "$passes passed, $failures failed"
  [ "$failures" -eq 0 ]
}
