// Our decoder of device-independent bitmaps: the CF_DIB clipboard block (header, masks,
// palette, pixels) and BMP files (a file header before such a block). Bit counts 1, 4, 8, 16,
// 24 and 32; BI_RGB, BI_BITFIELDS, BI_ALPHABITFIELDS, RLE4, RLE8 and embedded JPEG/PNG; core,
// info, V2, V3, V4 and V5 headers; bottom-up and top-down rows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/image/Bitmap.h"

namespace platform {
namespace image {

struct DibImage {
    Bitmap bitmap;                  // decoded pixels, opaque unless the header has an alpha mask
    uint16_t bitCount = 0;          // bits per pixel as the header gives it
    std::vector<uint32_t> palette;  // colour table as 0x00RRGGBB, for bit counts up to 8
    // Whether a colour table is present and every entry is a grey (red = green = blue).
    bool IsGreyPalette() const;
};

// Decodes a CF_DIB block: the header starts at byte 0 and the pixels follow the colour
// table. False (and `image` empty) for anything truncated, malformed or above the limits.
bool DecodeDib(const uint8_t* data, size_t size, DibImage& image);
// Decodes a BMP file ("BM", file header, then a DIB whose pixels start at the file header's
// offset).
bool DecodeBmp(const uint8_t* data, size_t size, DibImage& image);

}  // namespace image
}  // namespace platform
