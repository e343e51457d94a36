// PNG through GDI+: its decoder reads the file from a memory stream, its PNG encoder (found
// by MIME type among the installed encoders) writes one. The size in the header is checked
// before GDI+ sees the data, so an absurd header never reaches its allocator.
#include <cwchar>
#include <vector>

#include "platform/image/ImageSize.h"
#include "platform/image/PngCodec.h"
#include "platform/image/win32/GdiplusImage.h"

namespace platform {
namespace image {
namespace {

bool FindPngEncoder(CLSID& clsid) {
    UINT count = 0, bytes = 0;
    if (gdip::GdipGetImageEncodersSize(&count, &bytes) != Gdiplus::Ok || count == 0 ||
        bytes < count * sizeof(Gdiplus::ImageCodecInfo))
        return false;
    // The block holds the records followed by the strings they point at.
    std::vector<uint64_t> block((bytes + sizeof(uint64_t) - 1) / sizeof(uint64_t));
    Gdiplus::ImageCodecInfo* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(block.data());
    if (gdip::GdipGetImageEncoders(count, bytes, codecs) != Gdiplus::Ok) return false;
    for (UINT i = 0; i < count; ++i) {
        if (codecs[i].MimeType && std::wcscmp(codecs[i].MimeType, L"image/png") == 0) {
            clsid = codecs[i].Clsid;
            return true;
        }
    }
    return false;
}

// The pixels in a GDI+ layout: 32bppARGB (straight alpha, our own layout) when the picture
// has transparency, else 24bppRGB so that the file has no alpha channel.
struct Pixels {
    std::vector<uint8_t> bytes;
    INT stride = 0;
    Gdiplus::PixelFormat format = PixelFormat32bppARGB;
};

Pixels ToGdiplusLayout(const Bitmap& bitmap) {
    Pixels p;
    if (bitmap.HasTransparency()) {
        p.bytes = bitmap.bgra;
        p.stride = static_cast<INT>(bitmap.width * 4);
        return p;
    }
    p.format = PixelFormat24bppRGB;
    p.stride = static_cast<INT>((bitmap.width * 3 + 3) & ~3u);  // rows are 4-byte aligned
    p.bytes.assign(static_cast<size_t>(p.stride) * bitmap.height, 0);
    for (uint32_t y = 0; y < bitmap.height; ++y) {
        const uint8_t* src = bitmap.Row(y);
        uint8_t* dst = p.bytes.data() + static_cast<size_t>(y) * p.stride;
        for (uint32_t x = 0; x < bitmap.width; ++x, src += 4, dst += 3) {
            dst[0] = src[0];
            dst[1] = src[1];
            dst[2] = src[2];
        }
    }
    return p;
}

}  // namespace

bool EncodePng(const Bitmap& bitmap, std::string& out) {
    out.clear();
    if (bitmap.empty() || !IsAcceptableSize(bitmap.width, bitmap.height) ||
        bitmap.bgra.size() != static_cast<size_t>(bitmap.width) * bitmap.height * 4)
        return false;
    win32::GdiplusScope gdiplus;
    CLSID encoder;
    if (!gdiplus.ok() || !FindPngEncoder(encoder)) return false;
    Pixels pixels = ToGdiplusLayout(bitmap);
    // The bitmap draws on our buffer, which outlives it.
    win32::OwnedImage image;
    if (gdip::GdipCreateBitmapFromScan0(
            static_cast<INT>(bitmap.width), static_cast<INT>(bitmap.height), pixels.stride,
            pixels.format, pixels.bytes.data(), image.receive<Gdiplus::GpBitmap>()) != Gdiplus::Ok)
        return false;
    win32::Stream stream;
    if (!stream.OpenEmpty() ||
        gdip::GdipSaveImageToStream(image.get(), stream.get(), &encoder, nullptr) != Gdiplus::Ok)
        return false;
    std::string png;
    if (!stream.ReadAll(png) || png.empty()) return false;
    out.swap(png);
    return true;
}

bool DecodePng(const uint8_t* data, size_t size, Bitmap& bitmap) {
    bitmap = Bitmap();
    if (!data || size == 0 || DetectImageFormat(data, size) != ImageFormat::kPng) return false;
    uint32_t width = 0, height = 0;
    if (!ReadImagePixelSize(data, size, width, height) || !IsAcceptableSize(width, height))
        return false;
    win32::GdiplusScope gdiplus;
    win32::Stream stream;  // before the image, which reads it until disposed of
    if (!gdiplus.ok() || !stream.OpenCopy(data, size)) return false;
    win32::OwnedImage image;
    if (gdip::GdipCreateBitmapFromStream(stream.get(), image.receive<Gdiplus::GpBitmap>()) !=
        Gdiplus::Ok)
        return false;
    // The decoder must have read the size the header gives (no other format slipped in).
    UINT w = 0, h = 0;
    if (gdip::GdipGetImageWidth(image.get(), &w) != Gdiplus::Ok ||
        gdip::GdipGetImageHeight(image.get(), &h) != Gdiplus::Ok || w != width || h != height)
        return false;
    return win32::ReadPixels(image.bitmap(), bitmap);
}

}  // namespace image
}  // namespace platform
