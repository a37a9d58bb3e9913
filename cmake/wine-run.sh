#!/usr/bin/env bash
# Runs a Windows program under Wine for CTest. The test command sets WINEPREFIX and DISPLAY;
# the wineserver is restarted around the run so it lives in the caller's network namespace.
set -u
export WINEDEBUG=-all
: "${WINEPREFIX:?WINEPREFIX must name the prefix the test command created}"
export WINEPREFIX
wineserver -k >/dev/null 2>&1
wine "$@"
rc=$?
wineserver -k >/dev/null 2>&1
wineserver -w >/dev/null 2>&1
exit $rc
