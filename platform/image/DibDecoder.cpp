#include "platform/image/DibDecoder.h"

#include "platform/image/ByteReader.h"
#include "platform/image/JpegCodec.h"
#include "platform/image/PngCodec.h"

namespace platform {
namespace image {
namespace {

enum Compression : uint32_t {
    kRgb = 0,
    kRle8 = 1,
    kRle4 = 2,
    kBitfields = 3,
    kJpeg = 4,
    kPng = 5,
    kAlphaBitfields = 6,
};

const size_t kFileHeaderSize = 14;

struct Header {
    uint32_t size = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    bool topDown = false;
    uint16_t bitCount = 0;
    uint32_t compression = kRgb;
    uint32_t imageSize = 0;
    uint32_t colorsUsed = 0;
    uint32_t masks[4] = {0, 0, 0, 0};  // red, green, blue, alpha
    size_t paletteEntrySize = 4;
};

// One colour channel of a bit-field pixel: its mask's shift and the scale to 8 bits.
struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    uint32_t max = 0;

    explicit Channel(uint32_t m) : mask(m) {
        if (!mask) return;
        while (!((mask >> shift) & 1)) ++shift;
        max = mask >> shift;
    }
    uint8_t Get(uint32_t pixel) const {
        if (!max) return 0;
        const uint32_t v = (pixel & mask) >> shift;
        if (max == 255) return static_cast<uint8_t>(v);
        return static_cast<uint8_t>((static_cast<uint64_t>(v) * 255 + max / 2) / max);
    }
};

bool ReadHeader(ByteReader& r, Header& h) {
    h.size = r.Le32(0);
    if (r.failed()) return false;
    int64_t height = 0;
    if (h.size == 12) {  // core header: 16-bit sizes, three-byte palette entries
        h.width = r.Le16(4);
        height = r.Le16(6);
        h.bitCount = r.Le16(10);
        h.paletteEntrySize = 3;
    } else if (h.size >= 40 && h.size <= 124) {
        const int32_t width = r.Le32s(4);
        if (width <= 0) return false;
        h.width = static_cast<uint32_t>(width);
        height = r.Le32s(8);
        h.bitCount = r.Le16(14);
        h.compression = r.Le32(16);
        h.imageSize = r.Le32(20);
        h.colorsUsed = r.Le32(32);
        if (h.size >= 52) {  // V2 and later carry the masks inside the header
            for (int i = 0; i < 3; ++i) h.masks[i] = r.Le32(40 + 4 * i);
        }
        if (h.size >= 56) h.masks[3] = r.Le32(52);
    } else {
        return false;
    }
    if (r.failed()) return false;
    if (height < 0) {
        h.topDown = true;
        height = -height;
    }
    h.height = static_cast<uint32_t>(height);
    return IsAcceptableSize(h.width, h.height);
}

bool ReadPalette(ByteReader& r, size_t at, size_t count, size_t entrySize,
                 std::vector<uint32_t>& palette) {
    if (!r.Has(at, count * entrySize)) return false;
    palette.resize(count);
    for (size_t i = 0; i < count; ++i) {
        const size_t p = at + i * entrySize;
        palette[i] = r.U8(p) | (r.U8(p + 1) << 8) | (static_cast<uint32_t>(r.U8(p + 2)) << 16);
    }
    return true;
}

void PutColor(Bitmap& b, uint32_t x, uint32_t y, uint32_t rgb) {
    uint8_t* px = b.Row(y) + static_cast<size_t>(x) * 4;
    px[0] = static_cast<uint8_t>(rgb);
    px[1] = static_cast<uint8_t>(rgb >> 8);
    px[2] = static_cast<uint8_t>(rgb >> 16);
    px[3] = 0xFF;
}

uint32_t PaletteColor(const std::vector<uint32_t>& palette, uint32_t index) {
    return index < palette.size() ? palette[index] : 0;  // out-of-range indices draw black
}

bool DecodeUncompressed(ByteReader& r, size_t at, const Header& h,
                        const std::vector<uint32_t>& palette, Bitmap& b) {
    const uint64_t stride = (static_cast<uint64_t>(h.width) * h.bitCount + 31) / 32 * 4;
    if (!r.Has(at, static_cast<size_t>(stride * h.height))) return false;
    const uint32_t* masks = h.masks;
    const uint32_t rgb555[4] = {0x7C00, 0x03E0, 0x001F, 0};
    const uint32_t rgb888[4] = {0xFF0000, 0xFF00, 0xFF, 0};
    const bool bitfields = h.compression == kBitfields || h.compression == kAlphaBitfields;
    if (!bitfields) masks = h.bitCount == 16 ? rgb555 : rgb888;
    const Channel red(masks[0]), green(masks[1]), blue(masks[2]), alpha(masks[3]);
    const uint8_t* data = r.data();

    for (uint32_t row = 0; row < h.height; ++row) {
        const uint8_t* src = data + at + row * stride;
        const uint32_t y = h.topDown ? row : h.height - 1 - row;
        uint8_t* dst = b.Row(y);
        if (h.bitCount == 24) {  // the common screenshot layout, without the general switch
            for (uint32_t x = 0; x < h.width; ++x, dst += 4, src += 3) {
                dst[0] = src[0];
                dst[1] = src[1];
                dst[2] = src[2];
                dst[3] = 0xFF;
            }
            continue;
        }
        for (uint32_t x = 0; x < h.width; ++x, dst += 4) {
            uint32_t rgb = 0;
            switch (h.bitCount) {
                case 1:
                case 4:
                case 8: {
                    const uint32_t bit = x * h.bitCount;
                    const uint32_t shift = 8 - h.bitCount - bit % 8;
                    const uint32_t index = (src[bit / 8] >> shift) & ((1u << h.bitCount) - 1);
                    rgb = PaletteColor(palette, index);
                    break;
                }
                case 24:
                    rgb = src[x * 3] | (src[x * 3 + 1] << 8) | (src[x * 3 + 2] << 16);
                    break;
                case 16:
                case 32: {
                    const uint8_t* p = src + x * (h.bitCount / 8);
                    uint32_t v = p[0] | (p[1] << 8);
                    if (h.bitCount == 32) v |= (static_cast<uint32_t>(p[2]) << 16) | (p[3] << 24);
                    dst[0] = blue.Get(v);
                    dst[1] = green.Get(v);
                    dst[2] = red.Get(v);
                    dst[3] = alpha.mask ? alpha.Get(v) : 0xFF;
                    continue;
                }
            }
            dst[0] = static_cast<uint8_t>(rgb);
            dst[1] = static_cast<uint8_t>(rgb >> 8);
            dst[2] = static_cast<uint8_t>(rgb >> 16);
            dst[3] = 0xFF;
        }
    }
    return true;
}

// Run-length encoded rows (always bottom-up). Pixels the runs skip keep palette colour 0.
// Every step consumes input, so a corrupt stream ends at the end of the data.
bool DecodeRle(ByteReader& r, size_t at, const Header& h, const std::vector<uint32_t>& palette,
               Bitmap& b) {
    const bool four = h.compression == kRle4;
    uint32_t x = 0, row = 0;
    size_t p = at;
    auto put = [&](uint32_t index) {
        if (x < h.width && row < h.height)
            PutColor(b, x, h.height - 1 - row, PaletteColor(palette, index));
        ++x;
    };
    while (r.Has(p, 2) && row < h.height) {
        const uint8_t count = r.U8(p), value = r.U8(p + 1);
        p += 2;
        if (count > 0) {  // encoded run
            for (uint32_t i = 0; i < count; ++i)
                put(four ? (i % 2 ? value & 0x0F : value >> 4) : value);
            continue;
        }
        if (value == 0) {  // end of line
            x = 0;
            ++row;
        } else if (value == 1) {  // end of bitmap
            return true;
        } else if (value == 2) {  // delta
            if (!r.Has(p, 2)) return false;
            x += r.U8(p);
            row += r.U8(p + 1);
            p += 2;
        } else {  // absolute run of `value` pixels, padded to a 16-bit boundary
            const size_t bytes = four ? (value + 1u) / 2 : value;
            if (!r.Has(p, bytes)) return false;
            for (uint32_t i = 0; i < value; ++i) {
                const uint8_t byte = r.U8(p + (four ? i / 2 : i));
                put(four ? (i % 2 ? byte & 0x0F : byte >> 4) : byte);
            }
            p += (bytes + 1) & ~static_cast<size_t>(1);
        }
    }
    // Data that ends without its end-of-bitmap mark still shows what was drawn, as long as
    // it reached the last row; a stream cut short is refused.
    return row >= h.height;
}

bool DecodeEmbedded(const uint8_t* data, size_t size, const Header& h, Bitmap& b) {
    const bool ok = h.compression == kJpeg ? DecodeJpeg(data, size, b) : DecodePng(data, size, b);
    return ok && b.width == h.width && b.height == h.height;
}

// `pixelOffset` is where the pixels start inside the block when known (a file header names
// it), else 0: then they follow the colour table.
bool Decode(const uint8_t* data, size_t size, size_t pixelOffset, DibImage& out) {
    out = DibImage();
    if (!data) return false;
    ByteReader r(data, size);
    Header h;
    if (!ReadHeader(r, h)) return false;

    size_t at = h.size;
    if (h.size == 40 && (h.compression == kBitfields || h.compression == kAlphaBitfields)) {
        const int count = h.compression == kAlphaBitfields ? 4 : 3;
        for (int i = 0; i < count; ++i) h.masks[i] = r.Le32(at + 4 * i);
        if (r.failed()) return false;
        at += 4 * count;
    }

    bool valid = false;
    switch (h.compression) {
        case kRgb:
            valid = h.bitCount == 1 || h.bitCount == 4 || h.bitCount == 8 || h.bitCount == 16 ||
                    h.bitCount == 24 || h.bitCount == 32;
            break;
        case kRle8:
            valid = h.bitCount == 8 && !h.topDown;
            break;
        case kRle4:
            valid = h.bitCount == 4 && !h.topDown;
            break;
        case kBitfields:
        case kAlphaBitfields:
            valid = (h.bitCount == 16 || h.bitCount == 32) &&
                    (h.masks[0] | h.masks[1] | h.masks[2]) != 0;
            break;
        case kJpeg:
        case kPng:
            valid = true;
            break;
    }
    if (!valid) return false;

    // Colour table: required for up to 8 bits; an optional (unused) one may precede the
    // pixels of deeper bitmaps.
    if (h.bitCount >= 1 && h.bitCount <= 8) {
        const size_t full = size_t(1) << h.bitCount;
        const size_t count = h.colorsUsed ? h.colorsUsed : full;
        if (count > full || !ReadPalette(r, at, count, h.paletteEntrySize, out.palette))
            return false;
        at += count * h.paletteEntrySize;
    } else if (h.colorsUsed) {
        if (h.colorsUsed > 65536) return false;
        at += static_cast<size_t>(h.colorsUsed) * h.paletteEntrySize;
    }
    if (pixelOffset > 0) at = pixelOffset;
    if (at > size) return false;

    Bitmap& b = out.bitmap;
    bool ok = false;
    if (h.compression == kJpeg || h.compression == kPng) {
        const size_t length = h.imageSize && h.imageSize <= size - at ? h.imageSize : size - at;
        ok = DecodeEmbedded(data + at, length, h, b);
    } else if (h.compression == kRle4 || h.compression == kRle8) {
        ok = b.Allocate(h.width, h.height, 0xFF000000u | PaletteColor(out.palette, 0)) &&
             DecodeRle(r, at, h, out.palette, b);
    } else {
        ok = b.Allocate(h.width, h.height) && DecodeUncompressed(r, at, h, out.palette, b);
    }
    if (!ok) {
        out = DibImage();
        return false;
    }
    out.bitCount = h.bitCount;
    return true;
}

}  // namespace

bool DibImage::IsGreyPalette() const {
    if (palette.empty()) return false;
    for (uint32_t c : palette) {
        const uint8_t b = c & 0xFF, g = (c >> 8) & 0xFF, r = (c >> 16) & 0xFF;
        if (r != g || g != b) return false;
    }
    return true;
}

bool DecodeDib(const uint8_t* data, size_t size, DibImage& image) {
    return Decode(data, size, 0, image);
}

bool DecodeBmp(const uint8_t* data, size_t size, DibImage& image) {
    image = DibImage();
    if (!data || size < kFileHeaderSize || data[0] != 'B' || data[1] != 'M') return false;
    ByteReader r(data, size);
    const uint32_t offset = r.Le32(10);
    // The pixel offset counts from the file's start; one that points into the headers or past
    // the end is ignored and the pixels are taken to follow the colour table.
    const size_t relative =
        offset >= kFileHeaderSize + 12 && offset < size ? offset - kFileHeaderSize : 0;
    return Decode(data + kFileHeaderSize, size - kFileHeaderSize, relative, image);
}

}  // namespace image
}  // namespace platform
