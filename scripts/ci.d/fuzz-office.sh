#!/bin/sh
# Short libFuzzer run of the Word paste conversion (clang, ASan+UBSan), seeded with the corpus
# documents in place, each also wrapped as clipboard data. Runs FUZZ_SECONDS (default 20: CI
# keeps its runs short; longer ones are done by hand), then a smoke run of the conversion
# benchmark on 1 MB inputs.
set -eu
cd "$(dirname "$0")/../.."
ROOT=$(pwd)
sh scripts/install-deps.sh
OUT=$ROOT/build-fuzz-office
SECONDS_RUN=${FUZZ_SECONDS:-20}
# A fixed seed keeps the CI run reproducible; FUZZ_SEED=0 explores with a random one.
SEED=${FUZZ_SEED:-1}
CORPUS=$ROOT/../shared/corpus
[ -d "$CORPUS" ] || CORPUS=/work/shared/corpus
mkdir -p "$OUT/seeds"

FLAGS="-std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -I$ROOT -I$ROOT/tests"
# The converter reads the current clipboard, whose default is chosen at run time (X11 or
# memory), and sizes pictures through the image layer: both come along with their libraries.
PKGS="htmlcxx log4cplus jsoncpp xcb xcb-xfixes libturbojpeg spng librsvg-2.0 libxml-2.0 libwmf"
# The reference engine (tests/reference) converts the small inputs a second time.
SOURCES="$ROOT/tests/fuzz/office/FuzzConvert.cpp $(ls "$ROOT"/Office/*.cpp "$ROOT"/Office/*/*.cpp) \
    $(ls "$ROOT"/tests/reference/*.cpp) $(ls "$ROOT"/events/*.cpp) \
    $(ls "$ROOT"/platform/clipboard/*.cpp "$ROOT"/platform/clipboard/linux/*.cpp) \
    $(ls "$ROOT"/platform/image/*.cpp "$ROOT"/platform/image/linux/*.cpp) \
    $(ls "$ROOT"/platform/kernel/*.cpp) \
    $ROOT/platform/kernel/linux/CodePageIconv.cpp $ROOT/platform/kernel/linux/FileSystem.cpp \
    $ROOT/platform/kernel/linux/LargeBufferLinux.cpp \
    $(ls "$ROOT"/util/*.cpp) $ROOT/Biz/Log.cpp"
clang++ $FLAGS -I/usr/include/libwmf/gd $(pkg-config --cflags $PKGS) $SOURCES \
    $(pkg-config --libs $PKGS) -lemf2svg -lboost_thread -lpthread -o "$OUT/fuzz_convert"

for f in "$CORPUS"/word/*.html "$CORPUS"/excel/*.html "$CORPUS"/browser/*.html; do
    cp "$f" "$OUT/seeds/$(basename "$f")"
    { printf 'Version:0.9\r\nStartHTML:0000000105\r\nSourceURL:file:///C:/a.docx\r\n'; cat "$f"; } \
        > "$OUT/seeds/cf_$(basename "$f")"
done
sh tests/fuzz/office/make-seeds.sh "$OUT/seeds"

ASAN_OPTIONS=detect_leaks=0 "$OUT/fuzz_convert" -seed="$SEED" -max_total_time="$SECONDS_RUN" -rss_limit_mb=2048 \
    -timeout=20 -max_len=16384 -dict=tests/fuzz/office/office.dict -artifact_prefix="$OUT/" "$OUT/seeds"

# Benchmark smoke run (the full 1/10/50 MB run is `build/bench_convert`), from the build that
# `make test` made.
BENCH=${BUILD:-$ROOT/build}
cmake -S . -B "$BENCH" > /dev/null
cmake --build "$BENCH" -j "$(nproc)" --target bench_convert > /dev/null
"$BENCH/bench_convert" --sizes 1 --work "$BENCH/bench-inputs"
