#include "core/PastedFiles.h"

#include "image/CImageFileUploader.h"
#include "platform/kernel/Text.h"

void PastedFiles::Add(const std::string& utf8Path) {
    if (utf8Path.empty()) return;
    std::lock_guard<std::mutex> lock(mutex_);
    paths_.insert(utf8Path);
}

void PastedFiles::Add(const std::vector<std::string>& utf8Paths) {
    for (const std::string& path : utf8Paths) Add(path);
}

void PastedFiles::AddPictures(const ImageTable& pictures) {
    for (const auto& entry : pictures) {
        if (entry.second) Add(entry.second->src);
    }
}

bool PastedFiles::Allows(const std::wstring& source) const {
    if (IsWebAddress(source)) return true;
    // The exact text the page was given: no normalisation that a crafted path could exploit.
    const std::string utf8 = util::WideToUtf8(source);
    std::lock_guard<std::mutex> lock(mutex_);
    return paths_.count(utf8) != 0;
}

size_t PastedFiles::Size() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return paths_.size();
}
