// The system clipboard as the paste paths read it: format tests, registered formats such as
// "HTML Format", device-independent bitmaps (CF_DIB), bitmaps (CF_BITMAP) and copied file
// lists (CF_HDROP). One implementation per platform plus an in-memory one for tests and tools.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

enum ClipboardFormat : uint32_t {
    kClipboardBitmap = 2,  // CF_BITMAP
    kClipboardDib = 8,     // CF_DIB
    kClipboardHdrop = 15,  // CF_HDROP
};

// A bitmap as a clipboard bitmap handle yields it: 32-bit pixels, top row first, bytes in
// blue, green, red, reserved order.
struct ClipboardBitmap {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> bgra;  // width * height * 4 bytes
};

class Clipboard {
  public:
    virtual ~Clipboard() = default;

    // The number of a named format; the same name always gives the same number (>= 0xC000).
    virtual uint32_t RegisterFormat(const std::string& name) = 0;
    // Whether the clipboard offers the format; reads nothing.
    virtual bool IsFormatAvailable(uint32_t format) = 0;
    // The whole data block of a format (a registered format's bytes, a CF_DIB block).
    // False when the format is absent or cannot be read.
    virtual bool GetData(uint32_t format, std::string& bytes) = 0;
    // The paths of a CF_HDROP file list, in list order.
    virtual bool GetFileList(std::vector<std::wstring>& paths) = 0;
    // The CF_BITMAP bitmap.
    virtual bool GetBitmap(ClipboardBitmap& bitmap) = 0;
};

// The clipboard the plug-in reads. Until one is installed it is a process-wide in-memory
// clipboard (empty); the desktop build installs the system's clipboard at start.
std::shared_ptr<Clipboard> CurrentClipboard();
void SetCurrentClipboard(std::shared_ptr<Clipboard> clipboard);

}  // namespace platform
