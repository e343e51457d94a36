#include "platform/image/win32/GdiplusImage.h"

#include <cstring>
#include <mutex>

namespace platform {
namespace image {
namespace win32 {

namespace {

// GDI+'s start-up and shut-down are not made for concurrent calls; the image calls, which
// may run on worker threads, take turns.
std::recursive_mutex& SessionLock() {
    static std::recursive_mutex lock;
    return lock;
}

}  // namespace

GdiplusScope::GdiplusScope() {
    std::lock_guard<std::recursive_mutex> hold(SessionLock());
    Gdiplus::GdiplusStartupInput input;
    if (Gdiplus::GdiplusStartup(&token_, &input, nullptr) != Gdiplus::Ok) token_ = 0;
}

GdiplusScope::~GdiplusScope() {
    if (token_ == 0) return;
    std::lock_guard<std::recursive_mutex> hold(SessionLock());
    Gdiplus::GdiplusShutdown(token_);
}

Stream::~Stream() {
    if (stream_) stream_->Release();
}

bool Stream::OpenCopy(const uint8_t* data, size_t size) {
    if (stream_ || !data || size == 0 || size > 0xFFFFFFFFu) return false;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!memory) return false;
    void* block = GlobalLock(memory);
    if (!block) {
        GlobalFree(memory);
        return false;
    }
    std::memcpy(block, data, size);
    GlobalUnlock(memory);
    // The stream frees the block on its release.
    if (FAILED(CreateStreamOnHGlobal(memory, TRUE, &stream_))) {
        stream_ = nullptr;
        GlobalFree(memory);
        return false;
    }
    // The stream's size is the block's, which Windows may round up; set the real one.
    ULARGE_INTEGER exact;
    exact.QuadPart = size;
    return SUCCEEDED(stream_->SetSize(exact));
}

bool Stream::OpenEmpty() {
    if (stream_) return false;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream_))) stream_ = nullptr;
    return stream_ != nullptr;
}

bool Stream::ReadAll(std::string& out) {
    out.clear();
    if (!stream_) return false;
    STATSTG stat = {};
    if (FAILED(stream_->Stat(&stat, STATFLAG_NONAME)) || stat.cbSize.QuadPart > 0x7FFFFFFFu)
        return false;
    HGLOBAL memory = nullptr;
    if (FAILED(GetHGlobalFromStream(stream_, &memory)) || !memory) return false;
    const size_t size = static_cast<size_t>(stat.cbSize.QuadPart);
    if (GlobalSize(memory) < size) return false;
    const void* block = GlobalLock(memory);
    if (!block) return false;
    out.assign(static_cast<const char*>(block), size);
    GlobalUnlock(memory);
    return true;
}

OwnedImage::~OwnedImage() {
    if (image_) gdip::GdipDisposeImage(image_);
}

bool ReadPixels(Gdiplus::GpBitmap* bitmap, Bitmap& out) {
    out = Bitmap();
    UINT width = 0, height = 0;
    if (!bitmap || gdip::GdipGetImageWidth(bitmap, &width) != Gdiplus::Ok ||
        gdip::GdipGetImageHeight(bitmap, &height) != Gdiplus::Ok)
        return false;
    if (!IsAcceptableSize(width, height)) return false;
    Gdiplus::GpRect whole(0, 0, static_cast<INT>(width), static_cast<INT>(height));
    Gdiplus::BitmapData locked = {};
    if (gdip::GdipBitmapLockBits(bitmap, &whole, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB,
                                 &locked) != Gdiplus::Ok)
        return false;
    Bitmap pixels;
    // 32bppARGB is straight alpha with bytes in blue, green, red, alpha order: our layout.
    const bool copied = locked.Scan0 && locked.Width == width && locked.Height == height &&
                        pixels.Allocate(width, height);
    if (copied) {
        const uint8_t* base = static_cast<const uint8_t*>(locked.Scan0);
        for (UINT y = 0; y < height; ++y) {
            // The stride may be negative for bottom-up bitmaps.
            const uint8_t* row = base + static_cast<ptrdiff_t>(y) * locked.Stride;
            std::memcpy(pixels.Row(y), row, static_cast<size_t>(width) * 4);
        }
    }
    gdip::GdipBitmapUnlockBits(bitmap, &locked);
    if (!copied) return false;
    out = std::move(pixels);
    return true;
}

}  // namespace win32
}  // namespace image
}  // namespace platform
