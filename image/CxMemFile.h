// A growable in-memory file that the device-independent bitmap path encodes into. Writes
// extend it; reads start where the position is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class CxMemFile {
  public:
    // Opens the file empty; a file already open stays open with its content.
    bool Open();
    // Closes and empties the file.
    bool Close();
    bool IsOpen() const { return open_; }

    // Appends at the position (overwriting what lies there); false when the file is closed.
    bool Write(const void* data, size_t count);
    // Copies up to `count` bytes from the position; the number copied.
    size_t Read(void* out, size_t count);
    // Moves the position (SEEK_SET, SEEK_CUR, SEEK_END); false when it would leave the file.
    bool Seek(int64_t offset, int origin);
    size_t Tell() const { return position_; }
    size_t Size() const { return bytes_.size(); }
    const std::string& Bytes() const { return bytes_; }

  private:
    std::string bytes_;
    size_t position_ = 0;
    bool open_ = false;
};
