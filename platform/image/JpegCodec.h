// JPEG encoding and decoding of in-memory pictures.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/image/Bitmap.h"

namespace platform {
namespace image {

// Encodes the picture's colour (alpha is ignored) at `quality`, clamped to 1..100, with
// 4:2:0 chroma subsampling. `grey` writes a one-component JPEG from the green channel (the
// picture is then expected to be grey already). False and `out` empty on failure.
bool EncodeJpeg(const Bitmap& bitmap, int quality, bool grey, std::string& out);
// Decodes a JPEG into an opaque picture; false (and `bitmap` empty) when the data is not a
// readable JPEG or its size is above the limits.
bool DecodeJpeg(const uint8_t* data, size_t size, Bitmap& bitmap);

}  // namespace image
}  // namespace platform
