// The pixel size of an image, read from its content (not its name): JPEG, PNG, GIF, BMP,
// TIFF, placeable WMF and EMF. Only the headers are read; nothing is decoded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {
namespace image {

// The kinds of content the size reader and the decoders recognise.
enum class ImageFormat { kUnknown, kJpeg, kPng, kGif, kBmp, kTiff, kWmf, kEmf };

// The format of the bytes by their signature.
ImageFormat DetectImageFormat(const uint8_t* data, size_t size);

// Width and height in pixels; false (and both 0) when the content is not a recognised image
// or its header is cut short. Metafiles give their frame at 96 pixels per inch.
bool ReadImagePixelSize(const uint8_t* data, size_t size, uint32_t& width, uint32_t& height);
bool ReadImagePixelSize(const std::string& bytes, uint32_t& width, uint32_t& height);
// Reads at most the first megabyte of the file (enough for every header above).
bool ReadImagePixelSize(const std::wstring& path, uint32_t& width, uint32_t& height);

}  // namespace image
}  // namespace platform
