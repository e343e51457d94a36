// The image object of the device-independent bitmap path: built from a CF_DIB block, tested
// for grey-scale, raised to 24 bits per pixel, and encoded as JPEG with a quality into a
// memory file.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/image/DibDecoder.h"

class CxMemFile;

enum CxImageFormat : uint32_t {
    CXIMAGE_FORMAT_UNKNOWN = 0,
    CXIMAGE_FORMAT_BMP = 1,
    CXIMAGE_FORMAT_GIF = 2,
    CXIMAGE_FORMAT_JPG = 3,
    CXIMAGE_FORMAT_PNG = 4,
};

class CxImage {
  public:
    // Decodes a CF_DIB block (header, colour table or masks, pixels); false and invalid when
    // it cannot be read.
    bool CreateFromDib(const void* block, size_t size);
    bool IsValid() const { return !dib_.bitmap.empty(); }
    uint32_t GetWidth() const { return dib_.bitmap.width; }
    uint32_t GetHeight() const { return dib_.bitmap.height; }
    uint16_t GetBpp() const { return dib_.bitCount; }
    // True for a valid image with a colour table made only of greys.
    bool IsGrayScale() const;
    // Raises the bit count to `bpp` (dropping the colour table); a deeper image is unchanged.
    bool IncreaseBpp(uint16_t bpp);
    void SetJpegQuality(uint8_t quality) { jpegQuality_ = quality; }
    uint8_t GetJpegQuality() const { return jpegQuality_; }
    // Appends the encoded image to the open memory file. Only JPEG is supported: a grey-scale
    // image gives a one-component JPEG. False when invalid, closed or not encodable.
    bool Encode(CxMemFile& file, uint32_t format) const;
    const platform::image::Bitmap& Pixels() const { return dib_.bitmap; }

  private:
    platform::image::DibImage dib_;
    uint8_t jpegQuality_ = 90;
};
