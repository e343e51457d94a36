#!/bin/sh
# Short libFuzzer runs of the DIB/BMP decoder and the metafile players (clang, ASan+UBSan).
# Seeds come from the shared corpus in place; each target runs FUZZ_SECONDS (default 20: CI
# keeps its runs short; longer ones are done by hand).
set -eu
cd "$(dirname "$0")/../.."
ROOT=$(pwd)
OUT=$ROOT/build-fuzz-image
SECONDS_EACH=${FUZZ_SECONDS:-20}
# A fixed seed keeps the CI run reproducible; FUZZ_SEED=0 explores with a random one.
SEED=${FUZZ_SEED:-1}
CORPUS=$ROOT/../shared/corpus/wmz
[ -d "$CORPUS" ] || CORPUS=/work/shared/corpus/wmz
mkdir -p "$OUT/dib" "$OUT/metafile"

FLAGS="-std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -I$ROOT -I/usr/include/libwmf/gd"
IMG=$ROOT/platform/image
PKGS="libturbojpeg spng librsvg-2.0 libxml-2.0 libwmf"

clang++ $FLAGS "$ROOT/tests/fuzz/image/FuzzDib.cpp" "$IMG/DibDecoder.cpp" "$IMG/Bitmap.cpp" \
    "$IMG/JpegCodec.cpp" "$IMG/linux/PngCodec.cpp" "$IMG/ImageSize.cpp" \
    "$ROOT/platform/kernel/linux/CodePageIconv.cpp" "$ROOT/platform/kernel/linux/FileSystem.cpp" "$ROOT/util/Utf8.cpp" \
    $(pkg-config --libs libturbojpeg spng) -o "$OUT/fuzz_dib"
clang++ $FLAGS $(pkg-config --cflags $PKGS) "$ROOT/tests/fuzz/image/FuzzMetafile.cpp" \
    "$IMG/linux/MetafileWmf.cpp" "$IMG/linux/MetafileEmf.cpp" "$IMG/MetafileRecords.cpp" "$IMG/linux/SvgTextLimits.cpp" "$IMG/Bitmap.cpp" \
    "$IMG/ImageSize.cpp" "$ROOT/platform/kernel/linux/CodePageIconv.cpp" "$ROOT/platform/kernel/linux/FileSystem.cpp" "$ROOT/util/Utf8.cpp" \
    $(pkg-config --libs $PKGS) -lemf2svg -o "$OUT/fuzz_metafile"

# Seeds: a few hand-made DIB headers, and the corpus metafiles behind their selector byte.
printf '\050\0\0\0\002\0\0\0\002\0\0\0\001\0\030\0\0\0\0\0\020\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\377\0\0\377\377\377\0\0\0\0\377\0\377\0\0\0' \
    > "$OUT/dib/seed24"
"$ROOT/tests/fuzz/image/make-seeds.sh" "$CORPUS/.." "$OUT/metafile" "$OUT/metafile.dict"

# Player memory is bounded inside the targets; rss_limit catches anything that is not.
ASAN_OPTIONS=detect_leaks=0 "$OUT/fuzz_dib" -seed="$SEED" -max_total_time="$SECONDS_EACH" -rss_limit_mb=2048 \
    -timeout=10 -artifact_prefix="$OUT/" "$OUT/dib"
ASAN_OPTIONS=detect_leaks=0 "$OUT/fuzz_metafile" -seed="$SEED" -max_total_time="$SECONDS_EACH" \
    -rss_limit_mb=2048 -timeout=20 -max_len=65536 -dict="$OUT/metafile.dict" -artifact_prefix="$OUT/" "$OUT/metafile"
