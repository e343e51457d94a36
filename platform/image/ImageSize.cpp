#include "platform/image/ImageSize.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/image/ByteReader.h"
#include "platform/image/Metafile.h"
#include "platform/kernel/FileSystem.h"

namespace platform {
namespace image {
namespace {

const double kMetafileDpi = 96.0;
const double kHundredthMmPerInch = 2540.0;

bool StartsWith(const uint8_t* data, size_t size, const char* magic, size_t count) {
    return size >= count && std::memcmp(data, magic, count) == 0;
}

bool JpegSize(ByteReader& r, uint32_t& w, uint32_t& h) {
    size_t at = 2;
    while (r.Has(at, 4)) {
        if (r.U8(at) != 0xFF) return false;
        const uint8_t marker = r.U8(at + 1);
        if (marker == 0xFF) {  // fill byte
            ++at;
            continue;
        }
        if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            at += 2;  // markers without a length
            continue;
        }
        if (marker == 0xD9 || marker == 0xDA) return false;  // no frame header before the scan
        const uint16_t length = r.Be16(at + 2);
        if (length < 2) return false;
        const bool isFrame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (isFrame) {
            h = r.Be16(at + 5);
            w = r.Be16(at + 7);
            return !r.failed();
        }
        at += 2 + static_cast<size_t>(length);
    }
    return false;
}

bool TiffSize(ByteReader& r, uint32_t& w, uint32_t& h) {
    const bool little = r.U8(0) == 'I';
    auto u16 = [&](size_t at) { return little ? r.Le16(at) : r.Be16(at); };
    auto u32 = [&](size_t at) { return little ? r.Le32(at) : r.Be32(at); };
    const uint32_t ifd = u32(4);
    const uint16_t entries = u16(ifd);
    if (r.failed()) return false;
    bool haveW = false, haveH = false;
    for (uint32_t i = 0; i < entries; ++i) {
        const size_t entry = static_cast<size_t>(ifd) + 2 + 12 * static_cast<size_t>(i);
        const uint16_t tag = u16(entry);
        const uint16_t type = u16(entry + 2);
        uint32_t value = 0;
        if (type == 3) {
            value = u16(entry + 8);
        } else if (type == 4) {
            value = u32(entry + 8);
        } else {
            continue;
        }
        if (r.failed()) return false;
        if (tag == 256) {
            w = value;
            haveW = true;
        } else if (tag == 257) {
            h = value;
            haveH = true;
        }
        if (haveW && haveH) return true;
    }
    return false;
}

uint32_t ToPixels(double units, double unitsPerInch) {
    const double pixels = std::fabs(units) * kMetafileDpi / unitsPerInch;
    if (!(pixels < 1e9)) return 0;
    return static_cast<uint32_t>(std::lround(pixels));
}

bool WmfSize(ByteReader& r, uint32_t& w, uint32_t& h) {
    const int left = r.Le16s(6), top = r.Le16s(8), right = r.Le16s(10), bottom = r.Le16s(12);
    const uint16_t inch = r.Le16(14);
    if (r.failed() || inch == 0) return false;
    w = ToPixels(right - left, inch);
    h = ToPixels(bottom - top, inch);
    return true;
}

bool EmfSize(ByteReader& r, uint32_t& w, uint32_t& h) {
    const double left = r.Le32s(24), top = r.Le32s(28), right = r.Le32s(32), bottom = r.Le32s(36);
    if (r.failed()) return false;
    w = ToPixels(right - left, kHundredthMmPerInch);
    h = ToPixels(bottom - top, kHundredthMmPerInch);
    if (w == 0 || h == 0) {  // no frame recorded: the device bounds, which are inclusive
        const double bl = r.Le32s(8), bt = r.Le32s(12), br = r.Le32s(16), bb = r.Le32s(20);
        w = br >= bl ? static_cast<uint32_t>(br - bl + 1) : 0;
        h = bb >= bt ? static_cast<uint32_t>(bb - bt + 1) : 0;
    }
    return true;
}

}  // namespace

ImageFormat DetectImageFormat(const uint8_t* data, size_t size) {
    if (!data) return ImageFormat::kUnknown;
    if (StartsWith(data, size, "\xFF\xD8\xFF", 3)) return ImageFormat::kJpeg;
    if (StartsWith(data, size, "\x89PNG\r\n\x1A\n", 8)) return ImageFormat::kPng;
    if (StartsWith(data, size, "GIF87a", 6) || StartsWith(data, size, "GIF89a", 6))
        return ImageFormat::kGif;
    if (StartsWith(data, size, "BM", 2)) return ImageFormat::kBmp;
    if (StartsWith(data, size, "II*\0", 4) || StartsWith(data, size, "MM\0*", 4))
        return ImageFormat::kTiff;
    ByteReader r(data, size);
    if (r.Le32(0) == kPlaceableWmfKey) return ImageFormat::kWmf;
    if (r.Le32(0) == 1 && r.Le32(40) == 0x464D4520u && !r.failed()) return ImageFormat::kEmf;
    return ImageFormat::kUnknown;
}

bool ReadImagePixelSize(const uint8_t* data, size_t size, uint32_t& width, uint32_t& height) {
    width = height = 0;
    ByteReader r(data, data ? size : 0);
    uint32_t w = 0, h = 0;
    bool ok = false;
    switch (DetectImageFormat(data, size)) {
        case ImageFormat::kJpeg:
            ok = JpegSize(r, w, h);
            break;
        case ImageFormat::kPng:
            ok = r.Be32(12) == 0x49484452u;  // "IHDR"
            w = r.Be32(16);
            h = r.Be32(20);
            break;
        case ImageFormat::kGif:
            w = r.Le16(6);
            h = r.Le16(8);
            ok = true;
            break;
        case ImageFormat::kBmp:
            if (r.Le32(14) == 12) {  // core header: 16-bit sizes
                w = r.Le16(18);
                h = r.Le16(20);
            } else {
                const int32_t sw = r.Le32s(18), sh = r.Le32s(22);
                w = sw < 0 ? 0 : static_cast<uint32_t>(sw);
                h = sh < 0 ? 0u - static_cast<uint32_t>(sh) : static_cast<uint32_t>(sh);
            }
            ok = true;
            break;
        case ImageFormat::kTiff:
            ok = TiffSize(r, w, h);
            break;
        case ImageFormat::kWmf:
            ok = WmfSize(r, w, h);
            break;
        case ImageFormat::kEmf:
            ok = EmfSize(r, w, h);
            break;
        case ImageFormat::kUnknown:
            break;
    }
    if (!ok || r.failed()) return false;
    width = w;
    height = h;
    return true;
}

bool ReadImagePixelSize(const std::string& bytes, uint32_t& width, uint32_t& height) {
    return ReadImagePixelSize(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), width,
                              height);
}

bool ReadImagePixelSize(const std::wstring& path, uint32_t& width, uint32_t& height) {
    width = height = 0;
    std::unique_ptr<FILE, int (*)(FILE*)> f(OpenFile(path, "rb"), &std::fclose);
    if (!f) return false;
    std::string head(1 << 20, '\0');
    head.resize(std::fread(&head[0], 1, head.size(), f.get()));
    return ReadImagePixelSize(head, width, height);
}

}  // namespace image
}  // namespace platform
