// Image path benchmarks: screenshots through the device-independent bitmap path to JPEG, and
// a ".wmz" equation drawn to PNG. Run: build/bench_image [--benchmark_filter=...].
#include <benchmark/benchmark.h>

#include <string>

#include "config/AppConfig.h"
#include "image/CxImage.h"
#include "image/CxMemFile.h"
#include "image/ImageEncoding.h"

namespace {

// A 24-bit bottom-up CF_DIB block with screenshot-like content: flat areas and edges.
std::string ScreenshotDib(uint32_t width, uint32_t height) {
    const uint32_t stride = (width * 3 + 3) / 4 * 4;
    std::string block(40 + static_cast<size_t>(stride) * height, '\0');
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) block[at + i] = static_cast<char>(v >> (8 * i));
    };
    put32(0, 40);
    put32(4, width);
    put32(8, height);
    block[12] = 1;
    block[14] = 24;
    for (uint32_t y = 0; y < height; ++y) {
        char* row = &block[40 + static_cast<size_t>(y) * stride];
        for (uint32_t x = 0; x < width; ++x) {
            const bool window = (x / 160 + y / 90) % 3 == 0;
            row[x * 3] = static_cast<char>(window ? 0xF0 : x * 7);
            row[x * 3 + 1] = static_cast<char>(window ? 0xF0 : y * 3);
            row[x * 3 + 2] = static_cast<char>(window ? 0xF0 : (x ^ y));
        }
    }
    return block;
}

void DibToJpeg(benchmark::State& state) {
    const std::string block = ScreenshotDib(state.range(0), state.range(1));
    size_t bytes = 0;
    for (auto _ : state) {
        CxImage image;
        image.CreateFromDib(block.data(), block.size());
        CxMemFile file;
        AppConfig::Instance().EncodeDibAsJpeg(file, image);
        bytes = file.Size();
    }
    state.counters["jpeg_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(DibToJpeg)->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMillisecond);

void WmzToPng(benchmark::State& state) {
    const std::wstring path = L"" QUILLON_CORPUS_WMZ;
    for (auto _ : state) benchmark::DoNotOptimize(RenderMetafile(path, 600, 150));
}
BENCHMARK(WmzToPng)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
