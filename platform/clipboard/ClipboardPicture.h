// Pictures offered by desktop clipboards as image files (PNG, BMP, JPEG), turned into what
// the paste paths read: a device-independent bitmap block and a screen-style bitmap.
#pragma once

#include <string>

#include "platform/image/Bitmap.h"

namespace platform {

// The image targets we can decode, in order of preference.
extern const char* const kClipboardPictureTypes[];
extern const size_t kClipboardPictureTypeCount;

// Decodes the bytes of an image target ("image/png", "image/bmp", ...). Transparent pixels are
// laid over white: neither a device-independent bitmap nor a screen bitmap carries alpha.
bool DecodeClipboardPicture(const std::string& mimeType, const std::string& bytes,
                            image::Bitmap& bitmap);
// A CF_DIB block: a 40-byte BITMAPINFOHEADER and 24-bit bottom-up rows padded to 4 bytes.
std::string MakeDibBlock(const image::Bitmap& bitmap);

}  // namespace platform
