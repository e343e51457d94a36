#!/bin/sh
# The Windows build: the libraries cross-built once from Debian's sources (cached outside the
# clone, so later runs take seconds), npQuillon.dll for 32-bit Windows built and checked, and
# the Windows tests run under 64-bit Wine against the same sources built for x86_64.
set -eu
cd "$(dirname "$0")/../.."
QUILLON_WIN_ARCH=i686 bash scripts/win32/build-deps.sh
QUILLON_WIN_ARCH=x86_64 bash scripts/win32/build-deps.sh
sh scripts/win32/install-wine.sh
dll=$(bash scripts/win32/build-dll.sh build-win32-i686 | tail -n 1)
QUILLON_SHIPPED_DLL=$dll bash scripts/win32/test-wine64.sh build-win32-x86_64
