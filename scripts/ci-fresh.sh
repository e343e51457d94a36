#!/bin/sh
# Runs .ci/run the way a new machine would: in a clean clone of the committed HEAD (no build
# folders) with the Windows cache (cross-built libraries, emulated 32-bit Wine) pointed at an
# empty folder. Debian packages already installed on this machine stay installed: apt-get
# cannot be made to forget them. Prints .ci/run's time table at the end (also on failure).
#   scripts/ci-fresh.sh [WORK_DIR]   (default: a new folder under /tmp, removed on success)
set -eu
repo=$(cd "$(dirname "$0")/.." && pwd)
if [ $# -ge 1 ]; then
  work=$1
  made=0
else
  work=$(mktemp -d /tmp/quillon-fresh.XXXXXX)
  made=1
fi
mkdir -p "$work"
rm -rf "$work/clone" "$work/win32-cache"
git clone -q "$repo" "$work/clone"
mkdir -p "$work/win32-cache"
echo "ci-fresh: clone of $(git -C "$repo" rev-parse --short HEAD) in $work/clone, Windows cache $work/win32-cache"
rc=0
(cd "$work/clone" && QUILLON_WIN32_CACHE="$work/win32-cache" ./.ci/run) >"$work/ci.log" 2>&1 || rc=$?
sed -n '/^== CI time table/,$p' "$work/ci.log"
if [ "$rc" -ne 0 ]; then
  echo "ci-fresh: .ci/run failed (exit code $rc); its log: $work/ci.log"
  exit "$rc"
fi
echo "ci-fresh: passed"
[ "$made" = 0 ] || rm -rf "$work"
