// Metafile playback through GDI+: the records are handed to GDI as a metafile handle, GDI+
// wraps it and draws it stretched onto a white canvas that is the output Bitmap's own pixel
// block (no second copy of a large canvas). The record chain is walked first
// (MetafileRecords.cpp), so GDI never sees a record that overruns the data.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/image/ByteReader.h"
#include "platform/image/Metafile.h"
#include "platform/image/win32/GdiplusImage.h"

namespace platform {
namespace image {
namespace {

const size_t kWmfHeaderSize = 18;
const uint16_t kSetWindowOrg = 0x020B;
const uint16_t kSetWindowExt = 0x020C;
const uint32_t kOpaqueWhite = 0xFFFFFFFFu;

int16_t Signed(uint16_t v) {
    return static_cast<int16_t>(v);
}

void Checksum(Gdiplus::WmfPlaceableFileHeader& header, const uint8_t* raw) {
    uint16_t sum = 0;
    for (size_t i = 0; i < 20; i += 2) sum ^= static_cast<uint16_t>(raw[i] | (raw[i + 1] << 8));
    header.Checksum = Signed(sum);
}

// The placeable header GDI+ needs to place a WMF: the file's own, or for a plain WMF one made
// from its first window origin and extent (the frame the drawing was made in).
bool PlaceableHeader(const uint8_t* data, size_t size, Gdiplus::WmfPlaceableFileHeader& header,
                     size_t& recordsAt) {
    ByteReader r(data, size);
    uint8_t raw[20] = {};
    header = Gdiplus::WmfPlaceableFileHeader();
    header.Key = kPlaceableWmfKey;
    if (r.Le32(0) == kPlaceableWmfKey) {
        recordsAt = kPlaceableWmfHeaderSize;
        header.BoundingBox.Left = Signed(r.Le16(6));
        header.BoundingBox.Top = Signed(r.Le16(8));
        header.BoundingBox.Right = Signed(r.Le16(10));
        header.BoundingBox.Bottom = Signed(r.Le16(12));
        header.Inch = Signed(r.Le16(14));
        header.Checksum = Signed(r.Le16(20));
        return !r.failed() && header.BoundingBox.Right != header.BoundingBox.Left &&
               header.BoundingBox.Bottom != header.BoundingBox.Top;
    }
    recordsAt = 0;
    bool haveExt = false;
    int16_t orgX = 0, orgY = 0, extX = 0, extY = 0;
    // The chain was checked already; this walk only looks for the window records.
    for (size_t at = kWmfHeaderSize; r.Has(at, 6);) {
        const uint32_t words = r.Le32(at);
        const uint16_t function = r.Le16(at + 4);
        if (function == 0 || words < 3) break;
        if (function == kSetWindowOrg && words >= 5) {
            orgY = Signed(r.Le16(at + 6));
            orgX = Signed(r.Le16(at + 8));
        } else if (function == kSetWindowExt && words >= 5) {
            extY = Signed(r.Le16(at + 6));
            extX = Signed(r.Le16(at + 8));
            haveExt = true;
            break;
        }
        at += static_cast<size_t>(words) * 2;
    }
    if (!haveExt || extX == 0 || extY == 0 || r.failed()) return false;
    header.BoundingBox.Left = orgX;
    header.BoundingBox.Top = orgY;
    header.BoundingBox.Right = static_cast<int16_t>(orgX + extX);
    header.BoundingBox.Bottom = static_cast<int16_t>(orgY + extY);
    header.Inch = 1440;
    // The checksum covers the first ten words of the header as stored in a file.
    const uint16_t words[10] = {static_cast<uint16_t>(kPlaceableWmfKey & 0xFFFF),
                                static_cast<uint16_t>(kPlaceableWmfKey >> 16),
                                0,
                                static_cast<uint16_t>(header.BoundingBox.Left),
                                static_cast<uint16_t>(header.BoundingBox.Top),
                                static_cast<uint16_t>(header.BoundingBox.Right),
                                static_cast<uint16_t>(header.BoundingBox.Bottom),
                                static_cast<uint16_t>(header.Inch),
                                0,
                                0};
    for (int i = 0; i < 10; ++i) {
        raw[i * 2] = static_cast<uint8_t>(words[i]);
        raw[i * 2 + 1] = static_cast<uint8_t>(words[i] >> 8);
    }
    Checksum(header, raw);
    return true;
}

// Playback goes record by record so that it can stop at the time budget; a playback that
// runs out of time is a failure, as an unfinished picture would mislead.
struct Playback {
    Gdiplus::GpMetafile* metafile = nullptr;
    ULONGLONG deadline = 0;
    bool stopped = false;
};

BOOL CALLBACK PlayRecord(Gdiplus::EmfPlusRecordType type, UINT flags, UINT size, const BYTE* data,
                         VOID* context) {
    Playback* playback = static_cast<Playback*>(context);
    if (GetTickCount64() > playback->deadline) {
        playback->stopped = true;
        return FALSE;
    }
    gdip::GdipPlayMetafileRecord(playback->metafile, type, flags, size, data);
    return TRUE;
}

// Draws the metafile (owned by `metafile`) stretched over a white width x height canvas that
// becomes `out`.
bool DrawOnWhite(win32::OwnedImage& metafile, uint32_t width, uint32_t height, Bitmap& out) {
    Bitmap canvas;
    if (!canvas.Allocate(width, height, kOpaqueWhite)) return false;
    bool drawn = false;
    {
        win32::OwnedImage target;
        if (gdip::GdipCreateBitmapFromScan0(static_cast<INT>(width), static_cast<INT>(height),
                                            static_cast<INT>(width * 4), PixelFormat32bppARGB,
                                            canvas.bgra.data(),
                                            target.receive<Gdiplus::GpBitmap>()) != Gdiplus::Ok)
            return false;
        Gdiplus::GpGraphics* graphics = nullptr;
        if (gdip::GdipGetImageGraphicsContext(target.get(), &graphics) != Gdiplus::Ok || !graphics)
            return false;
        Playback playback;
        playback.metafile = static_cast<Gdiplus::GpMetafile*>(metafile.get());
        playback.deadline = GetTickCount64() + kMetafileTimeBudgetMs;
        const Gdiplus::Rect frame(0, 0, static_cast<INT>(width), static_cast<INT>(height));
        drawn =
            gdip::GdipEnumerateMetafileDestRectI(graphics, playback.metafile, frame, &PlayRecord,
                                                 &playback, nullptr) == Gdiplus::Ok &&
            !playback.stopped;
        gdip::GdipDeleteGraphics(graphics);
    }
    if (!drawn) return false;
    // Drawing over opaque white leaves every pixel opaque; make it exact.
    for (size_t i = 3; i < canvas.bgra.size(); i += 4) canvas.bgra[i] = 0xFF;
    out = std::move(canvas);
    return true;
}

}  // namespace

// GDI+ gives no reason of its own: `failure` stays empty.
bool RenderWmf(const uint8_t* data, size_t size, uint32_t width, uint32_t height, Bitmap& out,
               std::string* failure) {
    out = Bitmap();
    if (failure) failure->clear();
    if (!IsAcceptableSize(width, height) || !IsWellFormedWmf(data, size)) return false;
    Gdiplus::WmfPlaceableFileHeader header;
    size_t recordsAt = 0;
    if (!PlaceableHeader(data, size, header, recordsAt) || size <= recordsAt) return false;
    win32::GdiplusScope gdiplus;
    if (!gdiplus.ok()) return false;
    HMETAFILE handle = SetMetaFileBitsEx(static_cast<UINT>(size - recordsAt), data + recordsAt);
    if (!handle) return false;
    win32::OwnedImage metafile;
    // GDI+ takes the handle and deletes it with the metafile.
    if (gdip::GdipCreateMetafileFromWmf(handle, TRUE, &header,
                                        metafile.receive<Gdiplus::GpMetafile>()) != Gdiplus::Ok) {
        DeleteMetaFile(handle);
        return false;
    }
    return DrawOnWhite(metafile, width, height, out);
}

bool RenderEmf(const uint8_t* data, size_t size, Bitmap& out, std::string* failure) {
    out = Bitmap();
    if (failure) failure->clear();
    uint32_t width = 0, height = 0;
    if (!EmfCanvasSize(data, size, width, height)) return false;
    win32::GdiplusScope gdiplus;
    if (!gdiplus.ok()) return false;
    HENHMETAFILE handle = SetEnhMetaFileBits(static_cast<UINT>(size), data);
    if (!handle) return false;
    win32::OwnedImage metafile;
    if (gdip::GdipCreateMetafileFromEmf(handle, TRUE, metafile.receive<Gdiplus::GpMetafile>()) !=
        Gdiplus::Ok) {
        DeleteEnhMetaFile(handle);
        return false;
    }
    return DrawOnWhite(metafile, width, height, out);
}

}  // namespace image
}  // namespace platform
