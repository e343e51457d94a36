#include "Network/MemFile.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

MemFile::MemFile(uint8_t* buffer, uint32_t size)
    : buffer_(buffer), size_(size), owns_(buffer == nullptr), position_(0), capacity_(size) {}

MemFile::~MemFile() {
    Close();
}

bool MemFile::Open() {
    if (buffer_) return false;
    buffer_ = static_cast<uint8_t*>(std::malloc(1));
    if (!buffer_) return false;
    owns_ = true;
    position_ = size_ = capacity_ = 0;
    return true;
}

bool MemFile::Close() {
    if (buffer_ && owns_) std::free(buffer_);
    buffer_ = nullptr;
    size_ = position_ = capacity_ = 0;
    return true;
}

size_t MemFile::Read(void* buffer, size_t size, size_t count) {
    if (!buffer_ || !buffer || size == 0 || position_ >= size_) return 0;
    const size_t wanted = size * count;
    if (count != 0 && wanted / count != size) return 0;
    const size_t n = std::min<size_t>(wanted, size_ - position_);
    std::memcpy(buffer, buffer_ + position_, n);
    position_ += static_cast<uint32_t>(n);
    return n / size;
}

bool MemFile::Grow(uint64_t needed) {
    if (needed <= capacity_) return true;
    if (!owns_ || needed > 0xFFFF0000ull) return false;
    // The needed size rounded down to 64 KiB, plus 64 KiB.
    const uint64_t grown = (needed & ~0xFFFFull) + 0x10000;
    uint8_t* bigger = static_cast<uint8_t*>(std::realloc(buffer_, grown));
    if (!bigger) return false;
    buffer_ = bigger;
    capacity_ = static_cast<uint32_t>(grown);
    return true;
}

size_t MemFile::Write(const void* buffer, size_t size, size_t count) {
    if (!buffer_ || !buffer || size == 0 || count == 0) return 0;
    const uint64_t bytes = static_cast<uint64_t>(size) * count;
    if (bytes / count != size || !Grow(position_ + bytes)) return 0;
    std::memcpy(buffer_ + position_, buffer, bytes);
    position_ += static_cast<uint32_t>(bytes);
    size_ = std::max(size_, position_);
    return count;
}

bool MemFile::Reserve(uint32_t capacity) {
    if (!buffer_ || capacity <= capacity_) return buffer_ != nullptr;
    if (!owns_) return false;
    uint8_t* bigger = static_cast<uint8_t*>(std::realloc(buffer_, capacity));
    if (!bigger) return false;
    buffer_ = bigger;
    capacity_ = capacity;
    return true;
}

bool MemFile::Seek(int32_t offset, int origin) {
    if (!buffer_) return false;
    int64_t base = 0;
    if (origin == 1) {
        base = position_;
    } else if (origin == 2) {
        base = size_;
    } else if (origin != 0) {
        return false;
    }
    const int64_t target = std::max<int64_t>(0, base + offset);
    // Past the end of a caller's buffer there is nothing to grow into.
    if (!owns_ && target > capacity_) return false;
    position_ = static_cast<uint32_t>(std::min<int64_t>(target, 0xFFFF0000ll));
    return true;
}

int32_t MemFile::Tell() {
    return buffer_ ? static_cast<int32_t>(position_) : -1;
}

int32_t MemFile::Size() {
    return buffer_ ? static_cast<int32_t>(size_) : -1;
}

bool MemFile::Eof() {
    return !buffer_ || position_ >= size_;
}

bool MemFile::PutC(unsigned char c) {
    return Write(&c, 1, 1) == 1;
}

int32_t MemFile::GetC() {
    if (Eof()) return -1;
    return buffer_[position_++];
}

char* MemFile::GetS(char* string, int32_t n) {
    if (!string || n <= 0) return nullptr;
    int32_t i = 0;
    while (i < n - 1) {
        const int32_t c = GetC();
        if (c < 0) break;
        string[i++] = static_cast<char>(c);
        if (c == '\n') break;
    }
    string[i] = '\0';
    return i > 0 ? string : nullptr;
}

uint8_t* MemFile::GetBuffer(bool detach) {
    if (detach) owns_ = false;
    return buffer_;
}
