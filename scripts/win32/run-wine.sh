#!/bin/bash
# Runs a 32-bit Windows program under 32-bit Wine (emulated by qemu-i386, as
# scripts/win32/test-wine32.sh does) in a fresh prefix under the cache folder:
#   scripts/win32/run-wine.sh PROGRAM.exe [ARGS...]
# Environment: QUILLON_WIN32_CACHE (default /var/cache/quillon-win32),
# QUILLON_WINE_PREFIX (default <cache>/wine/prefix; made anew on every run).
# Exit code: the program's, or 125 when Wine cannot run at all on this machine.
set -euo pipefail

[ $# -ge 1 ] || { echo "usage: $0 PROGRAM.exe [ARGS...]" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
CACHE=${QUILLON_WIN32_CACHE:-/var/cache/quillon-win32}

bash "$here/install-wine32.sh" >&2 || exit 125
# shellcheck source=wine32-session.sh
. "$here/wine32-session.sh"
trap wine32_stop EXIT
wine32_start "${QUILLON_WINE_PREFIX:-$CACHE/wine/prefix}" || exit 125
rc=0
wine32 "$@" || rc=$?
exit "$rc"
