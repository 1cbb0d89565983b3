#!/bin/sh
# x11-run.sh RUNNER PREFIX PROGRAM [ARGS...]: runs a Windows program with
# RUNNER (the Wine runner of the Windows tree) in the Wine prefix PREFIX on
# the caller's X display, then waits until that prefix's wineserver has
# ended, so that the display outlives every Wine process of the test.
set -u
runner=$1
prefix=$2
shift 2
"$runner" "$prefix" "$@"
status=$?
WINEPREFIX="$prefix" wineserver -w
exit $status
