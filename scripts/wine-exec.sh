#!/usr/bin/env bash
# Runs a Windows program under Wine with the test prefix and display that
# scripts/test.sh prepared (ctest calls this for every end-to-end test).
#
# Once in a long run Wine has ended at once, with nothing printed, before the
# program ran at all (seen once in about 150 starts). Every program run here
# prints as it starts (GoogleTest's first line), so a failure with no output
# is Wine's, not the program's: that start is tried once more, and says so.
export LANG=ja_JP.UTF-8 LC_ALL=
wine=${RTRILLEX_WINE:?run the tests through scripts/test.sh}
output=$(mktemp)
trap 'rm -f "$output"' EXIT
"$wine" "$@" 2>&1 | tee "$output"
status=${PIPESTATUS[0]}
if [ "$status" -ne 0 ] && [ ! -s "$output" ]; then
  echo "wine-exec: Wine ended with $status before the program printed anything; starting it again"
  "$wine" "$@"
  status=$?
fi
exit "$status"
