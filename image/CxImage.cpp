#include "image/CxImage.h"

#include <string>

#include "image/CxMemFile.h"
#include "platform/image/JpegCodec.h"

bool CxImage::CreateFromDib(const void* block, size_t size) {
    return platform::image::DecodeDib(static_cast<const uint8_t*>(block), size, dib_);
}

bool CxImage::IsGrayScale() const {
    return IsValid() && dib_.IsGreyPalette();
}

bool CxImage::IncreaseBpp(uint16_t bpp) {
    if (!IsValid()) return false;
    if (bpp <= dib_.bitCount) return true;
    // The pixels are held in full colour already; only the description changes.
    dib_.bitCount = bpp;
    dib_.palette.clear();
    return true;
}

bool CxImage::Encode(CxMemFile& file, uint32_t format) const {
    if (!IsValid() || !file.IsOpen() || format != CXIMAGE_FORMAT_JPG) return false;
    std::string jpeg;
    if (!platform::image::EncodeJpeg(dib_.bitmap, jpegQuality_, IsGrayScale(), jpeg)) return false;
    return file.Write(jpeg.data(), jpeg.size());
}
