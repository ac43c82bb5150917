#!/bin/sh
# Runs a Windows program under wine with its output going through a file:
# helper processes that wine starts (conhost, services) outlive the program
# and would otherwise keep the caller's pipes open, so ctest would never see
# the test end.
log=$(mktemp) || exit 1
wine "$@" >"$log" 2>&1 </dev/null
rc=$?
cat "$log"
rm -f "$log"
exit $rc
