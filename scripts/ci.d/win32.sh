#!/bin/sh
# The Windows build: the libraries cross-built once from Debian's sources (cached outside the
# clone, so later runs take seconds), npQuillon.dll and quillon-host.exe for 32-bit Windows built
# and checked, and every Windows test run against them under 32-bit Wine (emulated in user mode).
set -eu
cd "$(dirname "$0")/../.."
QUILLON_WIN_ARCH=i686 bash scripts/win32/build-deps.sh
bash scripts/win32/build-dll.sh build-win32-i686 >/dev/null
bash scripts/win32/build-host.sh build-win32-i686 >/dev/null
bash scripts/win32/test-wine32.sh build-win32-i686
