#include "platform/image/JpegCodec.h"

#include <turbojpeg.h>

#include <memory>
#include <vector>

namespace platform {
namespace image {
namespace {

struct HandleCloser {
    void operator()(void* handle) const {
        if (handle) tjDestroy(handle);
    }
};
using Handle = std::unique_ptr<void, HandleCloser>;

}  // namespace

bool EncodeJpeg(const Bitmap& bitmap, int quality, bool grey, std::string& out) {
    out.clear();
    if (bitmap.empty() || !IsAcceptableSize(bitmap.width, bitmap.height)) return false;
    if (quality < 1) quality = 1;
    if (quality > 100) quality = 100;
    Handle handle(tjInitCompress());
    if (!handle) return false;

    std::vector<uint8_t> greyPixels;
    const uint8_t* source = bitmap.bgra.data();
    int pitch = static_cast<int>(bitmap.width * 4);
    int format = TJPF_BGRA;
    int subsampling = TJSAMP_420;
    if (grey) {
        greyPixels.resize(static_cast<size_t>(bitmap.width) * bitmap.height);
        for (size_t i = 0; i < greyPixels.size(); ++i) greyPixels[i] = bitmap.bgra[i * 4 + 1];
        source = greyPixels.data();
        pitch = static_cast<int>(bitmap.width);
        format = TJPF_GRAY;
        subsampling = TJSAMP_GRAY;
    }
    unsigned char* jpeg = nullptr;
    unsigned long jpegSize = 0;
    const int rc = tjCompress2(handle.get(), source, static_cast<int>(bitmap.width), pitch,
                               static_cast<int>(bitmap.height), format, &jpeg, &jpegSize,
                               subsampling, quality, 0);
    if (rc == 0 && jpeg && jpegSize > 0) out.assign(reinterpret_cast<char*>(jpeg), jpegSize);
    tjFree(jpeg);
    return !out.empty();
}

bool DecodeJpeg(const uint8_t* data, size_t size, Bitmap& bitmap) {
    bitmap = Bitmap();
    if (!data || size == 0 || size > 0xFFFFFFFFu) return false;
    Handle handle(tjInitDecompress());
    if (!handle) return false;
    int width = 0, height = 0, subsampling = 0, colorspace = 0;
    unsigned char* source = const_cast<unsigned char*>(data);
    if (tjDecompressHeader3(handle.get(), source, static_cast<unsigned long>(size), &width, &height,
                            &subsampling, &colorspace) != 0)
        return false;
    if (width <= 0 || height <= 0 || !IsAcceptableSize(width, height)) return false;
    Bitmap decoded;
    if (!decoded.Allocate(width, height, 0xFF000000u)) return false;
    // Scan limits guard against progressive files made of endless tiny scans.
    if (tjDecompress2(handle.get(), source, static_cast<unsigned long>(size), decoded.bgra.data(),
                      width, width * 4, height, TJPF_BGRA, TJFLAG_LIMITSCANS) != 0)
        return false;
    bitmap = std::move(decoded);
    return true;
}

}  // namespace image
}  // namespace platform
