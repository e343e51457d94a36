// Small RAII pieces shared by the GDI+ implementations of the image layer: a GDI+ session
// for the length of one call, in-memory streams, owned GDI+ images, and the copy of a GDI+
// bitmap's pixels into a Bitmap.
#pragma once

#include <windows.h>
// windows.h first: the GDI+ headers build on its types.
#include <gdiplus.h>
#include <objidl.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/image/Bitmap.h"

namespace platform {
namespace image {

// The flat API of gdiplus.dll, as mingw-w64's headers declare it.
namespace gdip = Gdiplus::DllExports;

namespace win32 {

// GdiplusStartup for the length of a call: GDI+ counts its sessions, so this is cheap when
// the plug-in already holds one and makes the image calls usable on their own otherwise.
class GdiplusScope {
  public:
    GdiplusScope();
    ~GdiplusScope();
    GdiplusScope(const GdiplusScope&) = delete;
    GdiplusScope& operator=(const GdiplusScope&) = delete;
    bool ok() const { return token_ != 0; }

  private:
    ULONG_PTR token_ = 0;
};

// An owned COM stream; GDI+ images made from a stream keep reading it, so the stream must
// outlive the image (declare it first).
class Stream {
  public:
    Stream() = default;
    ~Stream();
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;
    // A read-only copy of the bytes; false when memory runs out.
    bool OpenCopy(const uint8_t* data, size_t size);
    // An empty growable stream to write into.
    bool OpenEmpty();
    // Everything written so far; false when the stream is unusable.
    bool ReadAll(std::string& out);
    IStream* get() const { return stream_; }

  private:
    IStream* stream_ = nullptr;
};

// Owns a GpImage (bitmap or metafile) and disposes of it.
class OwnedImage {
  public:
    OwnedImage() = default;
    ~OwnedImage();
    OwnedImage(const OwnedImage&) = delete;
    OwnedImage& operator=(const OwnedImage&) = delete;
    Gdiplus::GpImage* get() const { return image_; }
    Gdiplus::GpBitmap* bitmap() const { return static_cast<Gdiplus::GpBitmap*>(image_); }
    // Where a Gdip...(&out) call stores the image it makes.
    template <typename T>
    T** receive() {
        return reinterpret_cast<T**>(&image_);
    }

  private:
    Gdiplus::GpImage* image_ = nullptr;
};

// Copies the whole bitmap, as straight-alpha 32-bit BGRA, into `out`; false and `out` empty
// when the size is above the picture limits or GDI+ cannot give the pixels (a truncated or
// corrupt file is often found only here, since GDI+ decodes on demand).
bool ReadPixels(Gdiplus::GpBitmap* bitmap, Bitmap& out);

}  // namespace win32
}  // namespace image
}  // namespace platform
