#!/bin/sh
# Installs Debian's Wine with its 32-bit part (wine32:i386), which runs the cross-built
# 32-bit Windows programs. Adds the i386 architecture to dpkg when it is missing.
# Idempotent: when Wine is present it does nothing and needs no network.
set -eu
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
export DEBIAN_FRONTEND=noninteractive

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

# Wine's 32-bit loader is a 32-bit Linux program: a kernel with ia32 emulation off cannot
# start it, whatever is installed.
check_runs() {
  local out
  if out=$(wine --version 2>&1); then
    echo "wine: ready ($out)"
    return 0
  fi
  if echo "$out" | grep -q 'Exec format error'; then
    echo "wine: error: installed, but this kernel does not run 32-bit x86 programs (ia32 emulation is off), so the 32-bit Wine loader cannot start" >&2
  else
    echo "wine: error: installed, but does not start: $out" >&2
  fi
  return 1
}

if installed wine && installed wine32:i386 && installed xvfb && installed xauth; then
  check_runs
  exit
fi
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "wine: adding the i386 architecture to dpkg"
  $SUDO dpkg --add-architecture i386
fi
$SUDO apt-get update -qq
if ! $SUDO apt-get install -y -qq --no-install-recommends wine wine32:i386 xvfb xauth; then
  echo "wine: error: could not install wine, wine32:i386, xvfb and xauth" >&2
  exit 1
fi
check_runs
