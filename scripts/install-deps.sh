#!/bin/sh
# Installs every Debian package listed in scripts/packages.txt that is not yet installed.
# Idempotent: when everything is present it does nothing and needs no network.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
pkgs=$(grep -v '^\s*#' "$here/packages.txt" | sed '/^\s*$/d')
missing=""
for p in $pkgs; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing="$missing $p"
  fi
done
if [ -z "$missing" ]; then
  echo "deps: all packages present"
  exit 0
fi
echo "deps: installing$missing"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
# shellcheck disable=SC2086
$SUDO apt-get install -y -qq --no-install-recommends $missing
