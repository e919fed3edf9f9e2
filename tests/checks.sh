# Named checks, the one style of the script tests: `check NAME COMMAND...`
# counts COMMAND's success, or prints "FAILED: NAME" on stderr, and returns
# COMMAND's status (so a check that later steps need can stop the script:
# `check ... || { checks_done; exit 1; }`); `checks_done` prints the closing
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
    return 1
  fi
}

checks_done() {
  echo "$passes passed, $failures failed"
  [ "$failures" -eq 0 ]
}
