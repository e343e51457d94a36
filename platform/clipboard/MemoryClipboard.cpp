#include "platform/clipboard/MemoryClipboard.h"
#include "platform/kernel/LargeBuffer.h"

namespace platform {

uint32_t MemoryClipboard::RegisterFormat(const std::string& name) {
    std::lock_guard<std::mutex> lock(mutex_);
    return registered_.Register(name);
}

bool MemoryClipboard::IsFormatAvailable(uint32_t format) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (format == kClipboardHdrop) return hasFiles_;
    if (format == kClipboardBitmap) return hasBitmap_;
    return data_.count(format) != 0;
}

bool MemoryClipboard::GetData(uint32_t format, std::string& bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = data_.find(format);
    if (failReads_ || it == data_.end()) return false;
    platform::ReserveLarge(bytes, it->second.size());
    bytes.assign(it->second);
    return true;
}

bool MemoryClipboard::GetFileList(std::vector<std::wstring>& paths) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (failReads_ || !hasFiles_) return false;
    paths = files_;
    return true;
}

bool MemoryClipboard::GetBitmap(ClipboardBitmap& bitmap) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (failReads_ || !hasBitmap_) return false;
    bitmap = bitmap_;
    return true;
}

void MemoryClipboard::Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    data_.clear();
    files_.clear();
    hasFiles_ = false;
    bitmap_ = ClipboardBitmap();
    hasBitmap_ = false;
}

void MemoryClipboard::SetHtml(std::string cfHtml) {
    SetData(RegisterFormat("HTML Format"), std::move(cfHtml));
}

void MemoryClipboard::SetData(uint32_t format, std::string bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    data_[format] = std::move(bytes);
}

void MemoryClipboard::SetFileList(const std::vector<std::wstring>& paths) {
    std::lock_guard<std::mutex> lock(mutex_);
    files_ = paths;
    hasFiles_ = true;
}

void MemoryClipboard::SetBitmap(const ClipboardBitmap& bitmap) {
    std::lock_guard<std::mutex> lock(mutex_);
    bitmap_ = bitmap;
    hasBitmap_ = true;
}

void MemoryClipboard::SetFailReads(bool fail) {
    std::lock_guard<std::mutex> lock(mutex_);
    failReads_ = fail;
}

}  // namespace platform
