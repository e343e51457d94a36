#include "image/ImageEncoding.h"

#include <cryptopp/gzip.h>

#include <algorithm>
#include <boost/algorithm/string/predicate.hpp>
#include <string>

#include "Biz/Log.h"
#include "image/PathNames.h"
#include "platform/image/DibDecoder.h"
#include "platform/image/ImageSize.h"
#include "platform/image/JpegCodec.h"
#include "platform/image/Metafile.h"
#include "platform/image/PngCodec.h"
#include "platform/kernel/Files.h"

using platform::image::Bitmap;
using platform::image::ImageFormat;

namespace {

const int32_t kUploadJpegQuality = 100;
const size_t kGunzipChunk = 4096;

util::SharedBuffer ToBuffer(const std::string& bytes) {
    return bytes.empty() ? util::SharedBuffer() : util::SharedBuffer::FromString(bytes);
}

const uint8_t* Bytes(const char* p) {
    return reinterpret_cast<const uint8_t*>(p);
}

// A metafile's natural size, scaled down to the picture limits with its proportions kept.
bool NaturalSize(const uint8_t* data, size_t size, uint32_t& width, uint32_t& height) {
    if (!platform::image::ReadImagePixelSize(data, size, width, height)) return false;
    if (width == 0 || height == 0) return false;
    while (!platform::image::IsAcceptableSize(width, height)) {
        width = std::max<uint32_t>(1, width / 2);
        height = std::max<uint32_t>(1, height / 2);
    }
    return true;
}

// Nearest-neighbour resampling, used when an EMF has to fill a ".wmz" canvas.
Bitmap Stretch(const Bitmap& source, uint32_t width, uint32_t height) {
    Bitmap out;
    if (source.empty() || !out.Allocate(width, height)) return out;
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* src =
            source.Row(static_cast<uint32_t>(uint64_t(y) * source.height / height));
        uint8_t* dst = out.Row(y);
        for (uint32_t x = 0; x < width; ++x) {
            const size_t sx = static_cast<size_t>(uint64_t(x) * source.width / width);
            std::copy(src + sx * 4, src + sx * 4 + 4, dst + static_cast<size_t>(x) * 4);
        }
    }
    return out;
}

// The metafile players; when one says why a picture came out empty, the log says it under the
// player's source name.
void LogMetafileFailure(const std::string& failure) {
    if (failure.empty()) return;
    QUILLON_TRACE("platform\\image\\MetafileChild", __LINE__,
                  "metafile renderer: " << failure << "; the picture is empty");
}

bool DrawWmf(const uint8_t* data, size_t size, uint32_t width, uint32_t height, Bitmap& out) {
    std::string failure;
    const bool drawn = platform::image::RenderWmf(data, size, width, height, out, &failure);
    LogMetafileFailure(failure);
    return drawn;
}

bool DrawEmf(const uint8_t* data, size_t size, Bitmap& out) {
    std::string failure;
    const bool drawn = platform::image::RenderEmf(data, size, out, &failure);
    LogMetafileFailure(failure);
    return drawn;
}

// Draws a metafile stretched to width x height on white.
bool DrawMetafile(const util::SharedBuffer& content, uint32_t width, uint32_t height,
                  Bitmap& canvas) {
    const uint8_t* data = Bytes(content.data.get());
    switch (platform::image::DetectImageFormat(data, content.size)) {
        case ImageFormat::kEmf: {
            Bitmap natural;
            if (!DrawEmf(data, content.size, natural)) return false;
            canvas = Stretch(natural, width, height);
            return !canvas.empty();
        }
        default:  // placeable or plain WMF; anything else fails the record walk
            return DrawWmf(data, content.size, width, height, canvas);
    }
}

EncodedImage Prepared(util::SharedBuffer bytes, const std::wstring& extension) {
    EncodedImage image;
    image.bytes = bytes;
    image.extension = extension;
    return image;
}

}  // namespace

util::SharedBuffer EncodeImage(const ImagePtr& image, ImageEncoder encoder, int32_t quality) {
    if (!image || image->empty()) return util::SharedBuffer();
    std::string bytes;
    if (encoder == ImageEncoder::kPng) {
        platform::image::EncodePng(*image, bytes);
    } else if (encoder == ImageEncoder::kJpeg) {
        platform::image::EncodeJpeg(*image, quality, false, bytes);
    }
    return ToBuffer(bytes);
}

util::SharedBuffer EncodeJpeg(const ImagePtr& image, int32_t quality) {
    return EncodeImage(image, ImageEncoder::kJpeg, quality);
}

ImagePtr LoadImageFromBytes(const char* bytes, uint32_t count) {
    if (!bytes || count == 0) return ImagePtr();
    const uint8_t* data = Bytes(bytes);
    ImagePtr image(new Bitmap);
    bool ok = false;
    switch (platform::image::DetectImageFormat(data, count)) {
        case ImageFormat::kJpeg:
            ok = platform::image::DecodeJpeg(data, count, *image);
            break;
        case ImageFormat::kPng:
            ok = platform::image::DecodePng(data, count, *image);
            break;
        case ImageFormat::kBmp: {
            platform::image::DibImage dib;
            ok = platform::image::DecodeBmp(data, count, dib);
            *image = std::move(dib.bitmap);
            break;
        }
        case ImageFormat::kEmf:
            ok = DrawEmf(data, count, *image);
            break;
        case ImageFormat::kWmf: {
            uint32_t width = 0, height = 0;
            ok = NaturalSize(data, count, width, height) &&
                 DrawWmf(data, count, width, height, *image);
            break;
        }
        default:
            break;
    }
    return ok ? image : ImagePtr();
}

util::SharedBuffer GunzipBytes(const char* bytes, uint32_t count) {
    if (!bytes || count == 0) return util::SharedBuffer();
    try {
        CryptoPP::Gunzip gunzip;
        // Fed in small pieces so that a bomb is stopped soon after it passes the limit.
        for (uint32_t at = 0; at < count; at += kGunzipChunk) {
            const size_t n = std::min<size_t>(kGunzipChunk, count - at);
            gunzip.Put(Bytes(bytes) + at, n);
            if (gunzip.MaxRetrievable() > kMaxGunzipBytes) return util::SharedBuffer();
        }
        gunzip.MessageEnd();
        const CryptoPP::lword n = gunzip.MaxRetrievable();
        if (n == 0 || n > kMaxGunzipBytes) return util::SharedBuffer();
        util::SharedBuffer out = util::SharedBuffer::Allocate(static_cast<uint32_t>(n));
        gunzip.Get(reinterpret_cast<CryptoPP::byte*>(out.data.get()), static_cast<size_t>(n));
        return out;
    } catch (const CryptoPP::Exception&) {
        return util::SharedBuffer();
    }
}

ImagePtr KeepBlackPixels(const ImagePtr& image) {
    if (!image || image->empty()) return ImagePtr();
    ImagePtr out(new Bitmap(*image));
    for (size_t i = 0; i < out->bgra.size(); i += 4) {
        uint8_t* px = &out->bgra[i];
        if (px[0] | px[1] | px[2]) px[0] = px[1] = px[2] = px[3] = 0;
    }
    return out;
}

void ReduceToBlackAndWhite(Bitmap& bitmap) {
    for (size_t i = 0; i < bitmap.bgra.size(); i += 4) {
        uint8_t* px = &bitmap.bgra[i];
        // Nearer to white than to black when the channel sum passes half of 3 * 255.
        const uint8_t v = px[0] + px[1] + px[2] >= 383 ? 0xFF : 0x00;
        px[0] = px[1] = px[2] = v;
        px[3] = 0xFF;
    }
}

util::SharedBuffer RenderMetafile(const std::wstring& path, int32_t width, int32_t height) {
    if (width <= 0 || height <= 0 ||
        !platform::image::IsAcceptableSize(static_cast<uint32_t>(width),
                                           static_cast<uint32_t>(height)))
        return util::SharedBuffer();
    if (util::FileSize(path) >= kMaxSourceFileBytes) return util::SharedBuffer();
    const util::SharedBuffer packed = util::ReadWholeFile(path);
    const util::SharedBuffer content = GunzipBytes(packed.data.get(), packed.size);
    if (content.empty()) return util::SharedBuffer();
    ImagePtr canvas(new Bitmap);
    if (!DrawMetafile(content, width, height, *canvas)) return util::SharedBuffer();
    ReduceToBlackAndWhite(*canvas);
    return EncodeImage(KeepBlackPixels(canvas), ImageEncoder::kPng);
}

// By extension, ignoring letter case; the first matching row applies:
//   ".emz"  unpacked, decoded, JPEG at quality 100   -> ".jpg"
//   ".wmz"  RenderMetafile at width x height           -> ".png"
//   ".bmp"  decoded by content, JPEG at quality 100    -> ".jpg"
//   ".gif"  the file's bytes unchanged                 -> ".gif"
//   other   the file's bytes unchanged                 -> the extension as found
EncodedImage PrepareUploadImage(const std::wstring& path, int32_t width, int32_t height) {
    const std::wstring extension = ExtensionOf(path);
    const bool tooLarge = util::FileSize(path) >= kMaxSourceFileBytes;
    auto read = [&]() { return tooLarge ? util::SharedBuffer() : util::ReadWholeFile(path); };

    if (boost::algorithm::iequals(extension, L".emz")) {
        const util::SharedBuffer packed = read();
        const util::SharedBuffer content = GunzipBytes(packed.data.get(), packed.size);
        return Prepared(
            EncodeJpeg(LoadImageFromBytes(content.data.get(), content.size), kUploadJpegQuality),
            L".jpg");
    }
    if (boost::algorithm::iequals(extension, L".wmz"))
        return Prepared(RenderMetafile(path, width, height), L".png");
    if (boost::algorithm::iequals(extension, L".bmp")) {
        const util::SharedBuffer file = read();
        return Prepared(
            EncodeJpeg(LoadImageFromBytes(file.data.get(), file.size), kUploadJpegQuality),
            L".jpg");
    }
    return Prepared(read(), UnchangedUploadExtension(path));
}

bool IsConvertedForUpload(const std::wstring& path) {
    const std::wstring extension = ExtensionOf(path);
    return boost::algorithm::iequals(extension, L".emz") ||
           boost::algorithm::iequals(extension, L".wmz") ||
           boost::algorithm::iequals(extension, L".bmp");
}

std::wstring UnchangedUploadExtension(const std::wstring& path) {
    const std::wstring extension = ExtensionOf(path);
    return boost::algorithm::iequals(extension, L".gif") ? L".gif" : extension;
}
