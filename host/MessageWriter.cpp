#include "host/MessageWriter.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>

#include "events/EventText.h"
#include "host/Framing.h"
#include "host/PackedMessage.h"

namespace host {

std::string WriteJson(const Json::Value& message) {
    return WriteCompactJson(message);
}

bool MessageWriter::Send(const Json::Value& message) {
    return SendText(WriteJson(message));
}

bool MessageWriter::SendText(const std::string& json) {
    if (json.size() <= kPackAbove) {
        std::lock_guard<std::mutex> lock(mutex_);
        return WriteFrame(json);
    }
    return WritePacked(json);
}

bool MessageWriter::WritePacked(const std::string& json) {
    // Compressed before the lock is taken, so other threads' short messages do not wait.
    std::string stream;
    if (!Deflate(json, stream)) {
        std::fprintf(stderr, "quillon-host: no memory to pack a message of %zu bytes\n",
                     json.size());
        return false;
    }
    const size_t count = (stream.size() + kPackedPartBytes - 1) / kPackedPartBytes;
    std::lock_guard<std::mutex> lock(mutex_);
    const uint64_t seq = nextSeq_++;
    std::string part;
    for (size_t i = 0; i < count; ++i) {
        part = "{\"type\":\"packed\",\"seq\":" + std::to_string(seq) +
               ",\"index\":" + std::to_string(i) + ",\"count\":" + std::to_string(count) +
               ",\"data\":\"";
        const size_t from = i * kPackedPartBytes;
        AppendBase64(stream.data() + from, std::min(kPackedPartBytes, stream.size() - from), part);
        part += "\"}";
        if (!WriteFrame(part)) return false;
    }
    return true;
}

bool MessageWriter::WriteFrame(const std::string& body) {
    if (broken_) return false;
    const std::string frame = EncodeFrame(body);
    size_t written = 0;
    while (written < frame.size()) {
        const ssize_t n = ::write(fd_, frame.data() + written, frame.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            broken_ = true;  // the browser closed the port
            return false;
        }
        written += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace host
