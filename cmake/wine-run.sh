#!/usr/bin/env bash
# Runs a Windows program under Wine, headless, in the build's own prefix
# (created on first use). WINEPREFIX may be set by the caller to share one.
#
# The program's output goes through a file, not straight to our stdout: the
# first Wine program of a session starts Wine's background services, which
# inherit its descriptors and outlive it, and a caller reading a pipe (ctest)
# would otherwise wait for them.
set -u
: "${WINEPREFIX:=${REDUCT_WINEPREFIX:-$PWD/wineprefix}}"
export WINEPREFIX
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
unset DISPLAY
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1 </dev/null || true
fi
out=$(mktemp)
trap 'rm -f "$out"' EXIT
wine "$@" >"$out" 2>&1 </dev/null
rc=$?
cat "$out"
exit $rc
