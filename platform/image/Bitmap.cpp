#include "platform/image/Bitmap.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace platform {
namespace image {

bool IsAcceptableSize(uint64_t width, uint64_t height) {
    return width > 0 && height > 0 && width <= kMaxImageSide && height <= kMaxImageSide &&
           width * height <= kMaxImagePixels;
}

bool FitToPictureLimits(uint32_t& width, uint32_t& height) {
    if (width == 0 || height == 0) return false;
    double scale = 1.0;
    scale = std::min(scale, static_cast<double>(kMaxImageSide) / width);
    scale = std::min(scale, static_cast<double>(kMaxImageSide) / height);
    const double pixels = static_cast<double>(width) * height;
    if (pixels * scale * scale > kMaxImagePixels) scale = std::sqrt(kMaxImagePixels / pixels);
    width = std::max<uint32_t>(1, static_cast<uint32_t>(width * scale));
    height = std::max<uint32_t>(1, static_cast<uint32_t>(height * scale));
    return IsAcceptableSize(width, height);
}

bool Bitmap::Allocate(uint32_t w, uint32_t h, uint32_t fill) {
    width = height = 0;
    bgra.clear();
    if (!IsAcceptableSize(w, h)) return false;
    const uint8_t px[4] = {static_cast<uint8_t>(fill), static_cast<uint8_t>(fill >> 8),
                           static_cast<uint8_t>(fill >> 16), static_cast<uint8_t>(fill >> 24)};
    const size_t count = static_cast<size_t>(w) * h;
    bgra.assign(count * 4, 0);
    if (fill != 0) {
        for (size_t i = 0; i < count; ++i) std::memcpy(&bgra[i * 4], px, 4);
    }
    width = w;
    height = h;
    return true;
}

bool Bitmap::HasTransparency() const {
    for (size_t i = 3; i < bgra.size(); i += 4) {
        if (bgra[i] != 0xFF) return true;
    }
    return false;
}

}  // namespace image
}  // namespace platform
