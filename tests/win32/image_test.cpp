// The image services of the Windows build through GDI+: PNG encoding and decoding, WMF and
// EMF playback, run against the real metafiles of the corpus.
//
//   image_test.exe [--corpus=DIR]   (DIR holds wmz/gdconv_sample.wmf and .emf)
#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/image/Bitmap.h"
#include "platform/image/ImageSize.h"
#include "platform/image/Metafile.h"
#include "platform/image/PngCodec.h"
#include "tests/win32/Check.h"

using platform::image::Bitmap;

namespace {

std::string g_corpus = QUILLON_WIN32_CORPUS_DIR;

std::vector<uint8_t> ReadCorpusFile(const char* name) {
    std::vector<uint8_t> bytes;
    const std::string path = g_corpus + "/wmz/" + name;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        uint8_t chunk[4096];
        size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0)
            bytes.insert(bytes.end(), chunk, chunk + n);
        std::fclose(f);
    }
    if (bytes.empty()) std::printf("  cannot read %s\n", path.c_str());
    return bytes;
}

// A picture whose every pixel differs, with a transparent, a half-transparent and an opaque
// column when `alpha` is set.
Bitmap Gradient(uint32_t width, uint32_t height, bool alpha) {
    Bitmap b;
    b.Allocate(width, height);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            uint8_t* px = b.Row(y) + x * 4;
            px[0] = static_cast<uint8_t>(x * 37 + y);
            px[1] = static_cast<uint8_t>(y * 53 + 7);
            px[2] = static_cast<uint8_t>(x * y * 11 + 3);
            px[3] = !alpha ? 255 : x % 3 == 0 ? 0 : x % 3 == 1 ? 128 : 255;
        }
    }
    return b;
}

// The colour type byte of a PNG's header chunk: 2 for RGB, 6 for RGBA.
int PngColourType(const std::string& png) {
    return png.size() > 25 ? static_cast<unsigned char>(png[25]) : -1;
}

size_t CountNonWhite(const Bitmap& b) {
    size_t n = 0;
    for (size_t i = 0; i + 3 < b.bgra.size(); i += 4) {
        if (b.bgra[i] != 255 || b.bgra[i + 1] != 255 || b.bgra[i + 2] != 255) ++n;
    }
    return n;
}

bool AllOpaque(const Bitmap& b) {
    for (size_t i = 3; i < b.bgra.size(); i += 4) {
        if (b.bgra[i] != 255) return false;
    }
    return true;
}

bool DecodeRefused(const std::string& bytes) {
    Bitmap b;
    b.Allocate(2, 2);  // a failure must leave it empty
    const bool ok =
        platform::image::DecodePng(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), b);
    return !ok && b.empty();
}

}  // namespace

TEST_CASE(PngRoundTripKeepsStraightAlpha) {
    const Bitmap original = Gradient(13, 7, true);
    std::string png;
    CHECK(platform::image::EncodePng(original, png));
    CHECK_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1A\n", 8));
    CHECK_EQ(PngColourType(png), 6);
    Bitmap decoded;
    CHECK(platform::image::DecodePng(reinterpret_cast<const uint8_t*>(png.data()), png.size(),
                                     decoded));
    CHECK_EQ(decoded.width, 13u);
    CHECK_EQ(decoded.height, 7u);
    // Transparent pixels may lose their colour in a codec; every other byte must come back.
    size_t mismatches = 0;
    for (size_t i = 0; i < original.bgra.size() && decoded.bgra.size() == original.bgra.size();
         i += 4) {
        if (original.bgra[i + 3] == 0) {
            if (decoded.bgra[i + 3] != 0) ++mismatches;
        } else if (std::memcmp(&original.bgra[i], &decoded.bgra[i], 4) != 0) {
            ++mismatches;
        }
    }
    CHECK_EQ(decoded.bgra.size(), original.bgra.size());
    CHECK_EQ(mismatches, size_t(0));
}

TEST_CASE(OpaquePictureIsWrittenWithoutAlpha) {
    const Bitmap original = Gradient(31, 3, false);  // 31 * 3 bytes per row: padded rows
    std::string png;
    CHECK(platform::image::EncodePng(original, png));
    CHECK_EQ(PngColourType(png), 2);
    Bitmap decoded;
    CHECK(platform::image::DecodePng(reinterpret_cast<const uint8_t*>(png.data()), png.size(),
                                     decoded));
    CHECK(decoded.bgra == original.bgra);

    Bitmap none;
    CHECK(!platform::image::EncodePng(none, png));
    CHECK(png.empty());
}

TEST_CASE(BadPngDataIsRefused) {
    std::string png;
    CHECK(platform::image::EncodePng(Gradient(64, 64, true), png));
    CHECK(DecodeRefused(png.substr(0, png.size() / 2)));  // cut inside the pixel data
    CHECK(DecodeRefused(png.substr(0, 30)));              // header only
    CHECK(DecodeRefused(""));
    CHECK(DecodeRefused("not a picture at all, just some text"));
    // A JPEG signature is not a PNG, even if GDI+ could read it.
    CHECK(DecodeRefused(std::string("\xFF\xD8\xFF\xE0", 4) + std::string(100, '\0')));
    // A header claiming 100000 x 100000 pixels is refused before any decoding.
    std::string huge = png;
    const char side[4] = {0, 1, static_cast<char>(0x86), static_cast<char>(0xA0)};
    huge.replace(16, 4, side, 4);
    huge.replace(20, 4, side, 4);
    CHECK(DecodeRefused(huge));
    // Pixel data garbled after a valid header.
    std::string garbled = png;
    for (size_t i = 60; i < garbled.size() - 20; ++i) garbled[i] = static_cast<char>(i * 7);
    CHECK(DecodeRefused(garbled));
}

TEST_CASE(WmfIsDrawnAtTheAskedSize) {
    const std::vector<uint8_t> wmf = ReadCorpusFile("gdconv_sample.wmf");
    Bitmap out;
    CHECK(platform::image::RenderWmf(wmf.data(), wmf.size(), 240, 160, out));
    CHECK_EQ(out.width, 240u);
    CHECK_EQ(out.height, 160u);
    CHECK(AllOpaque(out));
    CHECK(CountNonWhite(out) > 100);
    CHECK(CountNonWhite(out) < size_t(240) * 160);  // drawn on white, not a filled block

    // The same records without the placeable header: the frame comes from the window records.
    Bitmap plain;
    CHECK(wmf.size() > 22);
    CHECK(platform::image::RenderWmf(wmf.data() + 22, wmf.size() - 22, 240, 160, plain));
    CHECK(CountNonWhite(plain) > 100);

    CHECK(!platform::image::RenderWmf(wmf.data(), wmf.size(), 0, 160, out));
    CHECK(out.empty());
    CHECK(!platform::image::RenderWmf(wmf.data(), wmf.size(), 40000, 10, out));
}

TEST_CASE(EmfIsDrawnAtItsNaturalSize) {
    const std::vector<uint8_t> emf = ReadCorpusFile("gdconv_sample.emf");
    uint32_t width = 0, height = 0;
    CHECK(platform::image::ReadImagePixelSize(emf.data(), emf.size(), width, height));
    Bitmap out;
    CHECK(platform::image::RenderEmf(emf.data(), emf.size(), out));
    CHECK_EQ(out.width, width);
    CHECK_EQ(out.height, height);
    CHECK(AllOpaque(out));
    CHECK(CountNonWhite(out) > 10);
}

TEST_CASE(HugeEmfFrameIsScaledIntoThePictureLimits) {
    std::vector<uint8_t> emf = ReadCorpusFile("gdconv_sample.emf");
    CHECK(emf.size() > 40);
    if (emf.size() <= 40) return;
    // A frame of 10 x 10 metres (in 0.01 mm units): about 37800 pixels a side at 96 dpi.
    const int32_t frame[4] = {0, 0, 1000000, 1000000};
    std::memcpy(&emf[24], frame, sizeof frame);
    Bitmap out;
    CHECK(platform::image::RenderEmf(emf.data(), emf.size(), out));
    CHECK(out.width <= platform::image::kMaxImageSide);
    CHECK(uint64_t(out.width) * out.height <= platform::image::kMaxImagePixels);
    CHECK(out.width > 6000 && out.width == out.height);  // proportions kept
    CHECK(AllOpaque(out));
}

TEST_CASE(TruncatedOrForeignMetafilesAreRefused) {
    const std::vector<uint8_t> wmf = ReadCorpusFile("gdconv_sample.wmf");
    const std::vector<uint8_t> emf = ReadCorpusFile("gdconv_sample.emf");
    Bitmap out;
    out.Allocate(1, 1);
    CHECK(!platform::image::RenderWmf(wmf.data(), wmf.size() / 2, 100, 100, out));
    CHECK(out.empty());
    out.Allocate(1, 1);
    CHECK(!platform::image::RenderEmf(emf.data(), emf.size() - 8, out));
    CHECK(out.empty());
    // Each format is refused by the other's player.
    CHECK(!platform::image::RenderWmf(emf.data(), emf.size(), 100, 100, out));
    CHECK(!platform::image::RenderEmf(wmf.data(), wmf.size(), out));
    CHECK(!platform::image::RenderEmf(nullptr, 0, out));
}

TEST_CASE(ThreadsUseTheImageServicesAtOnce) {
    // Every call starts and ends a GDI+ session of its own; they overlap here.
    const std::vector<uint8_t> wmf = ReadCorpusFile("gdconv_sample.wmf");
    const Bitmap picture = Gradient(40, 30, true);
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 10; ++i) {
                std::string png;
                Bitmap decoded, drawn;
                if (!platform::image::EncodePng(picture, png) ||
                    !platform::image::DecodePng(reinterpret_cast<const uint8_t*>(png.data()),
                                                png.size(), decoded) ||
                    decoded.width != 40 ||
                    !platform::image::RenderWmf(wmf.data(), wmf.size(), 64, 48, drawn) ||
                    CountNonWhite(drawn) == 0)
                    ++failures;
            }
        });
    }
    for (std::thread& t : threads) t.join();
    CHECK_EQ(failures.load(), 0);
}

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--corpus=", 9) == 0) g_corpus = argv[i] + 9;
    }
    return wincheck::RunAll();
}
