#!/bin/sh
# The JavaScript dependencies (the editors the integrations are tested with): node and npm
# from Debian when the machine has none, then `npm ci` from package-lock.json into
# node_modules/. Skipped when node_modules already holds this lock file's packages.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
if ! command -v npm >/dev/null 2>&1 || ! command -v node >/dev/null 2>&1; then
  echo "deps: installing nodejs npm"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO=sudo
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends nodejs npm
fi
stamp=node_modules/.npquillon-lock.json
if [ -f "$stamp" ] && cmp -s package-lock.json "$stamp"; then
  echo "deps: node_modules up to date"
  exit 0
fi
npm ci --no-audit --no-fund
cp package-lock.json "$stamp"
