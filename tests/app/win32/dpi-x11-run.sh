#!/bin/sh
# dpi-x11-run.sh DPI RUNNER PREFIX PROGRAM [ARGS...]: runs a Windows program
# with RUNNER (the Wine runner of the Windows tree) in the Wine prefix PREFIX
# whose system density is DPI (HKCU\Control Panel\Desktop LogPixels, a
# REG_DWORD, set once when the prefix is made), on a 1920 x 1080 Xvfb screen.
set -eu
dpi=$1
runner=$2
prefix=$3
shift 3
case $prefix in /*) ;; *) prefix=$PWD/$prefix ;; esac
if [ ! -f "$prefix/.logpixels-$dpi" ]; then
  "$runner" "$prefix" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null
  # The registry reaches the disk when the prefix's wineserver ends.
  WINEPREFIX="$prefix" wineserver -w
  touch "$prefix/.logpixels-$dpi"
fi
exec xvfb-run -a -s "-screen 0 1920x1080x24" "$(dirname "$0")/../../ui/win32/x11-run.sh" "$runner" "$prefix" "$@"
