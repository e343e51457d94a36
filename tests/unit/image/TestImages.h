// Builders of test pictures: DIB blocks and BMP files in every layout, placeable WMFs with
// text, temporary folders.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/image/Bitmap.h"

namespace testimages {

std::string Le16(uint16_t v);
std::string Le32(uint32_t v);

struct DibLayout {
    uint32_t headerSize = 40;  // 12, 40, 108 or 124
    int32_t width = 4;
    int32_t height = 3;  // negative: top-down
    uint16_t bitCount = 24;
    uint32_t compression = 0;
    std::vector<uint32_t> palette;  // 0x00RRGGBB
    uint32_t masks[4] = {0, 0, 0, 0};
    std::string pixels;  // the raw pixel block, rows padded
};

// A CF_DIB block (header, masks after a 40-byte header for bit fields, palette, pixels).
std::string MakeDib(const DibLayout& layout);
// A BMP file around the block.
std::string MakeBmp(const DibLayout& layout);
// A 24-bit bottom-up DIB of the picture (alpha dropped).
std::string DibFromBitmap(const platform::image::Bitmap& bitmap);
// A picture whose colours vary smoothly across it.
platform::image::Bitmap Gradient(uint32_t width, uint32_t height);

// A placeable WMF of 1000 x 200 units (1000 per inch): a white rectangle without outline, an
// optional line of text in black.
std::string MakeTextWmf(const std::string& text);

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
// A fresh empty folder under the system's temporary folder.
std::string MakeTempDir();
std::string Gzip(const std::string& bytes);

}  // namespace testimages
