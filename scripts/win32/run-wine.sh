#!/bin/bash
# Runs a 32-bit Windows program under Wine in a fresh 32-bit prefix under the cache folder:
#   scripts/win32/run-wine.sh PROGRAM.exe [ARGS...]
# Environment: QUILLON_WIN32_CACHE (default /var/cache/quillon-win32),
# QUILLON_WINE_PREFIX (default <cache>/wine/prefix; made anew on every run).
# Exit code: the program's, or 125 when Wine cannot run at all on this machine.
set -euo pipefail

[ $# -ge 1 ] || { echo "usage: $0 PROGRAM.exe [ARGS...]" >&2; exit 2; }
CACHE=${QUILLON_WIN32_CACHE:-/var/cache/quillon-win32}
export WINEARCH=win32
export WINEPREFIX=${QUILLON_WINE_PREFIX:-$CACHE/wine/prefix}
export WINEDEBUG=${WINEDEBUG:--all}
# No desktop integration, no Mono or Gecko installers on the first start.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d}

die() {
  echo "run-wine: error: $*" >&2
  exit 125
}

command -v wine >/dev/null || die "wine is not installed (run scripts/win32/install-wine.sh)"
if ! out=$(wine --version 2>&1); then
  if echo "$out" | grep -q 'Exec format error'; then
    die "this kernel does not run 32-bit x86 programs (its ia32 emulation is off), so the 32-bit Wine loader cannot start: $out"
  fi
  die "wine does not start: $out"
fi

rm -rf "$WINEPREFIX"
mkdir -p "$(dirname "$WINEPREFIX")"
timeout 300 wine wineboot -i >/dev/null 2>&1 || die "wineboot could not create the prefix $WINEPREFIX"
set +e
wine "$@"
rc=$?
set -e
wineserver -w 2>/dev/null || true
exit "$rc"
