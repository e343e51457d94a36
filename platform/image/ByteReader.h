// Bounds-checked little- and big-endian reads from a byte block; a read past the end gives 0
// and marks the reader as failed, so parsers test once at the end of a header.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {
namespace image {

class ByteReader {
  public:
    ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool Has(size_t offset, size_t count) const {
        return offset <= size_ && count <= size_ - offset;
    }
    uint8_t U8(size_t at) {
        if (!Has(at, 1)) return Fail();
        return data_[at];
    }
    uint16_t Le16(size_t at) {
        if (!Has(at, 2)) return Fail();
        return static_cast<uint16_t>(data_[at] | (data_[at + 1] << 8));
    }
    uint32_t Le32(size_t at) {
        if (!Has(at, 4)) return Fail();
        return static_cast<uint32_t>(data_[at]) | (static_cast<uint32_t>(data_[at + 1]) << 8) |
               (static_cast<uint32_t>(data_[at + 2]) << 16) |
               (static_cast<uint32_t>(data_[at + 3]) << 24);
    }
    uint16_t Be16(size_t at) {
        if (!Has(at, 2)) return Fail();
        return static_cast<uint16_t>((data_[at] << 8) | data_[at + 1]);
    }
    uint32_t Be32(size_t at) {
        if (!Has(at, 4)) return Fail();
        return (static_cast<uint32_t>(data_[at]) << 24) |
               (static_cast<uint32_t>(data_[at + 1]) << 16) |
               (static_cast<uint32_t>(data_[at + 2]) << 8) | static_cast<uint32_t>(data_[at + 3]);
    }
    int32_t Le32s(size_t at) { return static_cast<int32_t>(Le32(at)); }
    int16_t Le16s(size_t at) { return static_cast<int16_t>(Le16(at)); }

    bool failed() const { return failed_; }
    size_t size() const { return size_; }
    const uint8_t* data() const { return data_; }

  private:
    uint8_t Fail() {
        failed_ = true;
        return 0;
    }

    const uint8_t* data_;
    size_t size_;
    bool failed_ = false;
};

}  // namespace image
}  // namespace platform
