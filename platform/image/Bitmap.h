// A decoded picture in memory: 32-bit pixels, top row first, bytes in blue, green, red, alpha
// order with straight (not premultiplied) alpha. It stands in for the platform's bitmap object.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace platform {
namespace image {

// Decoders refuse pictures above these sizes (absurd headers, decompression bombs).
const uint32_t kMaxImageSide = 32768;
const uint64_t kMaxImagePixels = 40u * 1000u * 1000u;

struct Bitmap {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> bgra;  // width * height * 4 bytes

    bool empty() const { return width == 0 || height == 0 || bgra.empty(); }
    // Allocates a width x height picture filled with `fill` (BGRA as 0xAARRGGBB); false and
    // left empty when the size is 0 or above the limits.
    bool Allocate(uint32_t w, uint32_t h, uint32_t fill = 0);
    uint8_t* Row(uint32_t y) { return bgra.data() + static_cast<size_t>(y) * width * 4; }
    const uint8_t* Row(uint32_t y) const {
        return bgra.data() + static_cast<size_t>(y) * width * 4;
    }
    // Whether any pixel is not fully opaque.
    bool HasTransparency() const;
};

// Whether a picture of this size is within the decoders' limits (and not empty).
bool IsAcceptableSize(uint64_t width, uint64_t height);
// Scales a natural size down, keeping its proportions, until it fits the limits above.
// False for an empty size.
bool FitToPictureLimits(uint32_t& width, uint32_t& height);

}  // namespace image
}  // namespace platform
