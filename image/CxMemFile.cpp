#include "image/CxMemFile.h"

#include <cstdio>
#include <cstring>

bool CxMemFile::Open() {
    if (open_) return true;
    bytes_.clear();
    position_ = 0;
    open_ = true;
    return true;
}

bool CxMemFile::Close() {
    bytes_.clear();
    bytes_.shrink_to_fit();
    position_ = 0;
    open_ = false;
    return true;
}

bool CxMemFile::Write(const void* data, size_t count) {
    if (!open_) return false;
    if (count == 0) return true;
    if (position_ + count > bytes_.size()) bytes_.resize(position_ + count);
    std::memcpy(&bytes_[position_], data, count);
    position_ += count;
    return true;
}

size_t CxMemFile::Read(void* out, size_t count) {
    if (!open_ || position_ >= bytes_.size()) return 0;
    const size_t n = count < bytes_.size() - position_ ? count : bytes_.size() - position_;
    std::memcpy(out, bytes_.data() + position_, n);
    position_ += n;
    return n;
}

bool CxMemFile::Seek(int64_t offset, int origin) {
    if (!open_) return false;
    int64_t base = 0;
    if (origin == SEEK_CUR) base = static_cast<int64_t>(position_);
    if (origin == SEEK_END) base = static_cast<int64_t>(bytes_.size());
    const int64_t target = base + offset;
    if (target < 0 || target > static_cast<int64_t>(bytes_.size())) return false;
    position_ = static_cast<size_t>(target);
    return true;
}
