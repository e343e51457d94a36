// The X11 desktop clipboard (the CLIPBOARD selection) behind the clipboard interface. It asks
// the selection's owner for its targets and data over its own connection and a hidden window,
// both opened on first use, and maps desktop types onto the formats the paste paths read:
//   "HTML Format"  - an "HTML Format" target as it is, else "text/html" wrapped into CF_HTML
//   CF_DIB, CF_BITMAP - "image/png", "image/bmp" (and variants), "image/jpeg"
//   CF_HDROP       - "text/uri-list" or "x-special/gnome-copied-files"
// Any other registered name maps to the target of that name. Every request is bounded in
// time and size: an owner that stalls, answers garbage or sends too much reads as "absent".
// Calls are serialised by a mutex; an owner that timed out is not waited for again until it
// changes or a few seconds have passed, so one paste costs at most one time-out.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/clipboard/Clipboard.h"
#include "platform/clipboard/FormatRegistry.h"
#include "platform/image/Bitmap.h"

namespace platform {

struct X11ClipboardLimits {
    uint32_t replyTimeoutMs = 2000;     // each wait for the owner (its answer, each INCR piece)
    uint32_t transferTimeoutMs = 8000;  // a whole transfer, however actively the owner sends
    size_t maxBytes = 64u << 20;        // the largest target read
};

class X11Clipboard : public Clipboard {
  public:
    // `display` as for X clients (":1"); empty uses $DISPLAY.
    explicit X11Clipboard(const std::string& display = std::string(),
                          const X11ClipboardLimits& limits = X11ClipboardLimits());
    ~X11Clipboard() override;
    X11Clipboard(const X11Clipboard&) = delete;
    X11Clipboard& operator=(const X11Clipboard&) = delete;

    // Opens the connection and the hidden window now (otherwise the first request does);
    // false when the display cannot be reached. A broken connection is reopened on next use.
    bool Connect();

    uint32_t RegisterFormat(const std::string& name) override;
    bool IsFormatAvailable(uint32_t format) override;
    bool GetData(uint32_t format, std::string& bytes) override;
    bool GetFileList(std::vector<std::wstring>& paths) override;
    bool GetBitmap(ClipboardBitmap& bitmap) override;

  private:
    class Connection;

    bool EnsureConnected();  // mutex held
    bool Offers(const std::string& target);
    bool Read(const std::string& target, std::string& bytes);
    bool ReadHtml(std::string& bytes);
    bool ReadPicture(image::Bitmap& picture);

    const std::string display_;
    const X11ClipboardLimits limits_;
    std::mutex mutex_;
    std::unique_ptr<Connection> connection_;
    FormatRegistry registered_;
};

}  // namespace platform
