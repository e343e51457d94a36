// An in-memory clipboard: tests and command-line tools fill it, the paste paths read it.
#pragma once

#include <map>
#include <mutex>

#include "platform/clipboard/Clipboard.h"
#include "platform/clipboard/FormatRegistry.h"

namespace platform {

class MemoryClipboard : public Clipboard {
  public:
    uint32_t RegisterFormat(const std::string& name) override;
    bool IsFormatAvailable(uint32_t format) override;
    bool GetData(uint32_t format, std::string& bytes) override;
    bool GetFileList(std::vector<std::wstring>& paths) override;
    bool GetBitmap(ClipboardBitmap& bitmap) override;

    // Empties the clipboard (formats stay registered).
    void Clear();
    // Offers "HTML Format" with these bytes (taken over: a caller that moves them in gives
    // the clipboard its buffer, as a program putting a large copy there does).
    void SetHtml(std::string cfHtml);
    void SetData(uint32_t format, std::string bytes);
    void SetFileList(const std::vector<std::wstring>& paths);
    void SetBitmap(const ClipboardBitmap& bitmap);
    // While set, formats stay available but reading any data fails (a busy or broken owner).
    void SetFailReads(bool fail);

  private:
    std::mutex mutex_;
    FormatRegistry registered_;
    std::map<uint32_t, std::string> data_;
    std::vector<std::wstring> files_;
    bool hasFiles_ = false;
    ClipboardBitmap bitmap_;
    bool hasBitmap_ = false;
    bool failReads_ = false;
};

}  // namespace platform
