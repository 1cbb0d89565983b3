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

# Makes the prefix and proves it: a program that loads kernel32 must run in
# it. A prefix that wineboot left half-made (seen once on a loaded machine:
# every program then failed with "could not load kernel32.dll") is removed
# and made again; after the third failure wineboot's log is shown.
make_prefix() {
  log=$prefix.log
  for attempt in 1 2 3; do
    if wineboot -i >"$log" 2>&1 && wineserver -w &&
       wine reg query 'HKLM\Software\Microsoft\Windows NT\CurrentVersion' /v CurrentVersion >>"$log" 2>&1 &&
       wineserver -w; then
      touch "$prefix/.ready"
      return 0
    fi
    echo "wine-run.sh: making the Wine prefix $prefix failed (attempt $attempt)" >&2
    wineserver -k 2>/dev/null || true
    rm -rf "$prefix"
  done
  cat "$log" >&2
  return 1
}

if [ ! -f "$prefix/.ready" ]; then
  mkdir -p "$(dirname "$prefix")"
  # Several tests may start at once: one of them makes the prefix.
  (
    flock 9
    [ -f "$prefix/.ready" ] || make_prefix
  ) 9>"$prefix.lock"
fi
# Two programs that start at the same moment may race to start the prefix's
# wineserver; the loser ends at once with "wine client error" before the
# program ran. That start alone is tried again (twice at most); whatever the
# program itself writes to standard error is passed on as it is.
err=$(mktemp)
trap 'rm -f "$err"' EXIT
for attempt in 1 2 3; do
  status=0
  wine "$@" 2>"$err" || status=$?
  if [ "$status" -ne 0 ] && [ "$attempt" -lt 3 ] && head -c 4096 "$err" | grep -q '^wine client error'; then
    echo "wine-run.sh: Wine's server was not reached (attempt $attempt), starting again" >&2
    sleep 1
    continue
  fi
  cat "$err" >&2
  exit "$status"
done
