#!/bin/sh
# Installs Debian's 64-bit Wine (wine64) with Xvfb and xauth, for the x86_64 check of
# check-deps.sh (QUILLON_WIN_ARCH=x86_64). The Windows tests run as the shipped 32-bit build
# under emulated 32-bit Wine (install-wine32.sh, test-wine32.sh).
# Idempotent: when everything is present it does nothing and needs no network.
set -eu
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
WINE64=${QUILLON_WINE64:-/usr/lib/wine/wine64}

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

missing=""
for p in wine64 xvfb xauth; do
  installed "$p" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  echo "wine: installing$missing"
  $SUDO apt-get update -qq
  # shellcheck disable=SC2086
  if ! $SUDO apt-get install -y -qq --no-install-recommends $missing; then
    echo "wine: error: could not install$missing" >&2
    exit 1
  fi
fi
if ! out=$("$WINE64" --version 2>&1); then
  echo "wine: error: $WINE64 is installed but does not start: $out" >&2
  exit 1
fi
echo "wine: ready ($out)"
