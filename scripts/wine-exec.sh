#!/usr/bin/env bash
# Runs a Windows program under Wine with the test prefix and display.
exec "${RTRILLEX_WINE:-wine}" "$@"
