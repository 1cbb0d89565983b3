#!/bin/sh
# wine-run.sh PREFIX PROGRAM [ARGS...]: runs a Windows program under Wine in
# the private prefix PREFIX, made on first use. Wine's own diagnostics are
# silenced so that a failing test's output reads clearly.
set -eu
prefix=$1
shift
case $prefix in /*) ;; *) prefix=$PWD/$prefix ;; esac
export WINEPREFIX="$prefix"
export WINEARCH=win64
export WINEDEBUG=-all
# No .NET or Gecko installer prompts while the prefix is made.
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$prefix/.ready" ]; then
  mkdir -p "$(dirname "$prefix")"
  # Several tests may start at once: one of them makes the prefix.
  (
    flock 9
    if [ ! -f "$prefix/.ready" ]; then
      wineboot -i >/dev/null 2>&1 || true
      wineserver -w
      touch "$prefix/.ready"
    fi
  ) 9>"$prefix.lock"
fi
exec wine "$@"
