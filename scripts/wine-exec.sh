#!/usr/bin/env bash
# Runs a Windows program under Wine with the test prefix and display that
# scripts/test.sh prepared (ctest calls this for every end-to-end test).
export LANG=ja_JP.UTF-8 LC_ALL=
exec "${RTRILLEX_WINE:?run the tests through scripts/test.sh}" "$@"
