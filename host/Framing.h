// Native messaging frames: a 4-byte length in the machine's byte order, then that many bytes
// of UTF-8 JSON. Incoming frames are cut from whatever the pipe delivers; a frame longer than
// the browser may send is refused before it is buffered.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace host {

// The longest message a browser sends to a native host.
constexpr uint32_t kMaxIncomingFrame = 64u << 20;

class FrameReader {
  public:
    enum Status { kFrame, kNeedMore, kTooLong };

    void Append(const char* data, size_t size);
    // The next whole frame's body, if one is buffered.
    Status Next(std::string& body);
    // Bytes of an unfinished frame (a stream that ends here was cut short).
    size_t Pending() const { return buffer_.size() - offset_; }

  private:
    std::string buffer_;
    size_t offset_ = 0;
};

// Length prefix and body.
std::string EncodeFrame(const std::string& body);

}  // namespace host
