// PNG encoding (8-bit RGBA, alpha kept) and decoding of in-memory pictures.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/image/Bitmap.h"

namespace platform {
namespace image {

// Encodes the picture as an 8-bit truecolour PNG, with an alpha channel when any pixel is
// not opaque. False and `out` empty on failure.
bool EncodePng(const Bitmap& bitmap, std::string& out);
// Decodes any PNG (palette, grey, 16-bit, tRNS) into BGRA; false and empty on bad data or a
// size above the limits.
bool DecodePng(const uint8_t* data, size_t size, Bitmap& bitmap);

}  // namespace image
}  // namespace platform
