#include "platform/clipboard/win32/Win32Clipboard.h"

#include <windows.h>

#include <cstdlib>
#include <new>

#include "platform/clipboard/win32/ClipboardAccess.h"
#include "platform/clipboard/win32/DropFileList.h"
#include "platform/clipboard/win32/PackedDib.h"
#include "platform/image/Bitmap.h"

namespace platform {
namespace {

const char kHtmlFormat[] = "HTML Format";

bool IsRegisteredFormat(uint32_t format) {
    return format >= 0xC000 && format <= 0xFFFF;
}

// A memory device context for GetDIBits: its default palette is the screen's.
class MemoryDc {
  public:
    MemoryDc() : dc_(CreateCompatibleDC(nullptr)) {}
    ~MemoryDc() {
        if (dc_) DeleteDC(dc_);
    }
    MemoryDc(const MemoryDc&) = delete;
    MemoryDc& operator=(const MemoryDc&) = delete;
    HDC Get() const { return dc_; }

  private:
    HDC dc_;
};

// The pixels of a bitmap handle as 32-bit top-down rows.
bool BitmapPixels(HBITMAP handle, ClipboardBitmap& bitmap) {
    BITMAP info = {};
    if (!handle || GetObjectW(handle, sizeof info, &info) != static_cast<int>(sizeof info))
        return false;
    const long long width = info.bmWidth;
    const long long height = std::llabs(static_cast<long long>(info.bmHeight));
    if (width <= 0 ||
        !image::IsAcceptableSize(static_cast<uint64_t>(width), static_cast<uint64_t>(height)))
        return false;
    std::vector<uint8_t> pixels;
    try {
        pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    } catch (const std::bad_alloc&) {
        return false;
    }
    BITMAPINFO request = {};
    request.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    request.bmiHeader.biWidth = static_cast<LONG>(width);
    request.bmiHeader.biHeight = -static_cast<LONG>(height);  // top row first
    request.bmiHeader.biPlanes = 1;
    request.bmiHeader.biBitCount = 32;
    request.bmiHeader.biCompression = BI_RGB;
    MemoryDc dc;
    if (!dc.Get()) return false;
    const int lines = GetDIBits(dc.Get(), handle, 0, static_cast<UINT>(height), pixels.data(),
                                &request, DIB_RGB_COLORS);
    if (lines != height) return false;
    bitmap.width = static_cast<uint32_t>(width);
    bitmap.height = static_cast<uint32_t>(height);
    bitmap.bgra.swap(pixels);
    return true;
}

}  // namespace

Win32Clipboard::Win32Clipboard(const Win32ClipboardLimits& limits)
    : limits_(limits), htmlFormat_(RegisterClipboardFormatA(kHtmlFormat)) {}

uint32_t Win32Clipboard::RegisterFormat(const std::string& name) {
    return RegisterClipboardFormatA(name.c_str());
}

bool Win32Clipboard::IsFormatAvailable(uint32_t format) {
    if (format == 0 || format > 0xFFFF) return false;
    return IsClipboardFormatAvailable(format) != FALSE;
}

bool Win32Clipboard::GetData(uint32_t format, std::string& bytes) {
    std::string data;
    if (format == kClipboardDib) {
        // Read from the clipboard itself, not through OLE: Wine's data object refuses CF_DIB
        // in global memory (DV_E_TYMED), and the clipboard has it in no other medium.
        if (!IsFormatAvailable(format) || !ReadDirect(format, data)) return false;
        const size_t length = win32::PackedDibLength(
            reinterpret_cast<const unsigned char*>(data.data()), data.size());
        if (length != 0 && length < data.size()) data.resize(length);
    } else if (IsRegisteredFormat(format)) {
        if (!ReadRegistered(format, data)) return false;
        // CF_HTML is NUL-terminated text in a block that may be larger than the text.
        if (format == htmlFormat_) {
            const size_t nul = data.find('\0');
            if (nul != std::string::npos) data.resize(nul);
            if (data.empty()) return false;
        }
    } else {
        return false;
    }
    bytes.swap(data);
    return true;
}

// Through the OLE data object first, as other programs' data is meant to be read; the
// clipboard itself when OLE cannot be used on this thread or the data object refuses.
bool Win32Clipboard::ReadRegistered(uint32_t format, std::string& bytes) {
    if (!IsFormatAvailable(format)) return false;
    {
        win32::OleThreadScope ole;
        if (ole.Usable()) {
            win32::OleClipboardData data;
            if (data.Get(format, TYMED_HGLOBAL | TYMED_ISTREAM) &&
                win32::CopyMedium(data.Medium(), limits_.maxBytes, bytes))
                return true;
        }
    }
    return ReadDirect(format, bytes);
}

bool Win32Clipboard::ReadDirect(uint32_t format, std::string& bytes) {
    win32::OpenedClipboard clipboard(limits_.openAttempts, limits_.openRetryMs);
    if (!clipboard.IsOpen()) return false;
    return win32::CopyGlobalBlock(static_cast<HGLOBAL>(GetClipboardData(format)), limits_.maxBytes,
                                  bytes);
}

bool Win32Clipboard::GetFileList(std::vector<std::wstring>& paths) {
    if (!IsFormatAvailable(kClipboardHdrop)) return false;
    {
        win32::OleThreadScope ole;
        if (ole.Usable()) {
            win32::OleClipboardData data;
            if (data.Get(kClipboardHdrop, TYMED_HGLOBAL) &&
                win32::ReadDropFiles(data.Medium().hGlobal, limits_.maxBytes, paths))
                return true;
        }
    }
    win32::OpenedClipboard clipboard(limits_.openAttempts, limits_.openRetryMs);
    if (!clipboard.IsOpen()) return false;
    return win32::ReadDropFiles(static_cast<HGLOBAL>(GetClipboardData(kClipboardHdrop)),
                                limits_.maxBytes, paths);
}

bool Win32Clipboard::GetBitmap(ClipboardBitmap& bitmap) {
    if (!IsFormatAvailable(kClipboardBitmap)) return false;
    // The handle stays the clipboard's; it is valid only while the clipboard is open.
    win32::OpenedClipboard clipboard(limits_.openAttempts, limits_.openRetryMs);
    if (!clipboard.IsOpen()) return false;
    return BitmapPixels(static_cast<HBITMAP>(GetClipboardData(kClipboardBitmap)), bitmap);
}

}  // namespace platform
