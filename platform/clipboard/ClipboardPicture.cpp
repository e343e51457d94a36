#include "platform/clipboard/ClipboardPicture.h"

#include <cstring>

#include "platform/image/DibDecoder.h"
#include "platform/image/JpegCodec.h"
#include "platform/image/PngCodec.h"

namespace platform {

const char* const kClipboardPictureTypes[] = {"image/png", "image/bmp", "image/x-bmp",
                                              "image/x-ms-bmp", "image/jpeg"};
const size_t kClipboardPictureTypeCount =
    sizeof kClipboardPictureTypes / sizeof kClipboardPictureTypes[0];

namespace {

void FlattenOnWhite(image::Bitmap& bitmap) {
    for (size_t i = 0; i + 3 < bitmap.bgra.size(); i += 4) {
        const unsigned alpha = bitmap.bgra[i + 3];
        for (size_t c = 0; c < 3; ++c)
            bitmap.bgra[i + c] = static_cast<uint8_t>(
                (bitmap.bgra[i + c] * alpha + 255 * (255 - alpha) + 127) / 255);
        bitmap.bgra[i + 3] = 0xFF;
    }
}

void PutLe(std::string& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>(value >> (8 * i)));
}

}  // namespace

bool DecodeClipboardPicture(const std::string& mimeType, const std::string& bytes,
                            image::Bitmap& bitmap) {
    bitmap = image::Bitmap();
    const uint8_t* data = reinterpret_cast<const uint8_t*>(bytes.data());
    bool decoded = false;
    if (mimeType == "image/png") {
        decoded = image::DecodePng(data, bytes.size(), bitmap);
    } else if (mimeType == "image/jpeg") {
        decoded = image::DecodeJpeg(data, bytes.size(), bitmap);
    } else {
        image::DibImage dib;
        decoded = image::DecodeBmp(data, bytes.size(), dib);
        if (decoded) bitmap = std::move(dib.bitmap);
    }
    if (!decoded || bitmap.empty() ||
        bitmap.bgra.size() != static_cast<size_t>(bitmap.width) * bitmap.height * 4) {
        bitmap = image::Bitmap();
        return false;
    }
    FlattenOnWhite(bitmap);
    return true;
}

std::string MakeDibBlock(const image::Bitmap& bitmap) {
    const size_t stride = (static_cast<size_t>(bitmap.width) * 3 + 3) & ~size_t(3);
    const size_t imageSize = stride * bitmap.height;
    std::string out;
    out.reserve(40 + imageSize);
    PutLe(out, 40, 4);                                // biSize
    PutLe(out, bitmap.width, 4);                      // biWidth
    PutLe(out, bitmap.height, 4);                     // biHeight > 0: bottom-up
    PutLe(out, 1, 2);                                 // biPlanes
    PutLe(out, 24, 2);                                // biBitCount
    PutLe(out, 0, 4);                                 // biCompression = BI_RGB
    PutLe(out, static_cast<uint32_t>(imageSize), 4);  // biSizeImage
    PutLe(out, 3780, 4);                              // 96 dpi
    PutLe(out, 3780, 4);
    PutLe(out, 0, 4);  // biClrUsed
    PutLe(out, 0, 4);  // biClrImportant
    std::string row(stride, '\0');
    for (uint32_t y = bitmap.height; y-- > 0;) {
        const uint8_t* src = bitmap.Row(y);
        for (uint32_t x = 0; x < bitmap.width; ++x) std::memcpy(&row[x * 3], src + x * 4, 3);
        out += row;
    }
    return out;
}

}  // namespace platform
