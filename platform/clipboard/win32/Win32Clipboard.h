// The Windows clipboard behind the clipboard interface.
//   registered formats ("HTML Format", ...) and CF_HDROP - through the OLE clipboard's data
//       object (global memory or a stream), falling back to the clipboard itself when OLE
//       cannot be used on the calling thread or the data object refuses;
//   CF_DIB, CF_BITMAP - straight from the clipboard (OpenClipboard/GetClipboardData).
// Any thread may call: each call that needs OLE initialises it on its thread for the call's
// duration (a thread that already has it, such as the browser's main thread, just nests one
// level deeper). Every block is bounded in size; a malformed one reads as absent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/clipboard/Clipboard.h"

namespace platform {

struct Win32ClipboardLimits {
    size_t maxBytes = 64u << 20;  // the largest block read
    int openAttempts = 10;        // OpenClipboard fails while another program holds it
    uint32_t openRetryMs = 20;
};

class Win32Clipboard : public Clipboard {
  public:
    explicit Win32Clipboard(const Win32ClipboardLimits& limits = Win32ClipboardLimits());

    uint32_t RegisterFormat(const std::string& name) override;
    bool IsFormatAvailable(uint32_t format) override;
    // "HTML Format" gives its text up to the first NUL (the block may be larger than the
    // text); other registered formats give the whole block; CF_DIB gives the block cut to the
    // length its header describes.
    bool GetData(uint32_t format, std::string& bytes) override;
    bool GetFileList(std::vector<std::wstring>& paths) override;
    bool GetBitmap(ClipboardBitmap& bitmap) override;

  private:
    bool ReadRegistered(uint32_t format, std::string& bytes);
    bool ReadDirect(uint32_t format, std::string& bytes);

    const Win32ClipboardLimits limits_;
    const uint32_t htmlFormat_;
};

}  // namespace platform
