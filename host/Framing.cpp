#include "host/Framing.h"

#include <cstring>

namespace host {

void FrameReader::Append(const char* data, size_t size) {
    // Consumed bytes are dropped before the buffer grows, so it holds at most one frame and
    // one read beyond it.
    if (offset_ > 0) {
        buffer_.erase(0, offset_);
        offset_ = 0;
    }
    buffer_.append(data, size);
}

FrameReader::Status FrameReader::Next(std::string& body) {
    if (Pending() < 4) return kNeedMore;
    uint32_t length = 0;
    std::memcpy(&length, buffer_.data() + offset_, 4);
    if (length > kMaxIncomingFrame) return kTooLong;
    if (Pending() - 4 < length) return kNeedMore;
    body.assign(buffer_, offset_ + 4, length);
    offset_ += 4 + static_cast<size_t>(length);
    return kFrame;
}

std::string EncodeFrame(const std::string& body) {
    const uint32_t length = static_cast<uint32_t>(body.size());
    std::string frame(4, '\0');
    std::memcpy(&frame[0], &length, 4);
    frame += body;
    return frame;
}

}  // namespace host
