#!/usr/bin/env bash
# Runs a Windows program under Wine, headless, in the build's own prefix
# (created on first use). WINEPREFIX may be set by the caller to share one.
set -eu
: "${WINEPREFIX:=${REDUCT_WINEPREFIX:-$PWD/wineprefix}}"
export WINEPREFIX
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
unset DISPLAY
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1 || true
  wineserver -w || true
fi
exec wine "$@"
