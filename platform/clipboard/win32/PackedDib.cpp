#include "platform/clipboard/win32/PackedDib.h"

#include <cstdint>
#include <cstdlib>

namespace platform {
namespace win32 {
namespace {

const uint32_t kCoreHeader = 12;  // BITMAPCOREHEADER
const uint32_t kInfoHeader = 40;  // BITMAPINFOHEADER
const uint32_t kV5Header = 124;   // BITMAPV5HEADER
const uint32_t kRgb = 0, kBitfields = 3, kAlphaBitfields = 6;
const uint32_t kProfileEmbedded = 0x4D424544;  // 'MBED'
const uint64_t kMaxLength = uint64_t(1) << 32;

uint32_t U16(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8;
}
uint32_t U32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint64_t RowBytes(uint64_t width, uint32_t bitCount) {
    return (width * bitCount + 31) / 32 * 4;
}

bool ValidBitCount(uint32_t bitCount) {
    return bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 || bitCount == 24 ||
           bitCount == 32;
}

}  // namespace

size_t PackedDibLength(const unsigned char* block, size_t size) {
    if (!block || size < 4) return 0;
    const uint32_t headerSize = U32(block);
    if (headerSize == kCoreHeader) {
        if (size < kCoreHeader) return 0;
        const uint32_t width = U16(block + 4), height = U16(block + 6);
        const uint32_t bitCount = U16(block + 10);
        if (!ValidBitCount(bitCount)) return 0;
        const uint64_t colours = bitCount <= 8 ? (uint64_t(1) << bitCount) : 0;
        const uint64_t length = kCoreHeader + colours * 3 + RowBytes(width, bitCount) * height;
        return length < kMaxLength ? static_cast<size_t>(length) : 0;
    }
    if (headerSize < kInfoHeader || headerSize > size) return 0;
    const int32_t width = static_cast<int32_t>(U32(block + 4));
    const int32_t height = static_cast<int32_t>(U32(block + 8));
    const uint32_t bitCount = U16(block + 14);
    const uint32_t compression = U32(block + 16);
    const uint32_t imageSize = U32(block + 20);
    const uint32_t coloursUsed = U32(block + 32);
    if (width < 0 || height == INT32_MIN) return 0;

    uint64_t length = headerSize;
    // The three or four masks follow a plain info header; later headers hold them inside.
    if (headerSize == kInfoHeader && compression == kBitfields) length += 12;
    if (headerSize == kInfoHeader && compression == kAlphaBitfields) length += 16;
    if (coloursUsed != 0) {
        if (coloursUsed > 65536) return 0;
        length += uint64_t(coloursUsed) * 4;
    } else if (bitCount >= 1 && bitCount <= 8) {
        length += (uint64_t(1) << bitCount) * 4;
    }
    if (compression == kRgb || compression == kBitfields || compression == kAlphaBitfields) {
        if (!ValidBitCount(bitCount)) return 0;
        length += RowBytes(static_cast<uint64_t>(width), bitCount) *
                  static_cast<uint64_t>(std::llabs(static_cast<long long>(height)));
    } else {
        if (imageSize == 0) return 0;  // compressed pixels of unstated size
        length += imageSize;
    }
    // An embedded colour profile may follow the pixels; its offset counts from the header.
    if (headerSize >= kV5Header && U32(block + 56) == kProfileEmbedded) {
        const uint64_t profileEnd = uint64_t(U32(block + 112)) + U32(block + 116);
        if (profileEnd > length) length = profileEnd;
    }
    return length < kMaxLength ? static_cast<size_t>(length) : 0;
}

}  // namespace win32
}  // namespace platform
