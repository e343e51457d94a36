#!/bin/sh
# Upload benchmark smoke run: 1 and 10 MB through the poster and through curl -F, against a
# loopback "quillon serve". Reuses the main build; fails only when an upload fails.
set -eu
cd "$(dirname "$0")/../.."
BUILD=${BUILD:-build}
cmake -S . -B "$BUILD" >/dev/null
cmake --build "$BUILD" -j "$(nproc)" --target quillon bench_upload
"$BUILD"/bench_upload --sizes 1,10 --quillon "$BUILD"/quillon
