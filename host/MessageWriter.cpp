#include "host/MessageWriter.h"

#include <json/writer.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "host/Framing.h"

namespace host {

std::string WriteJson(const Json::Value& message) {
    static const Json::StreamWriterBuilder builder = [] {
        Json::StreamWriterBuilder b;
        b["indentation"] = "";
        b["emitUTF8"] = true;
        return b;
    }();
    return Json::writeString(builder, message);
}

bool MessageWriter::Send(const Json::Value& message) {
    return SendText(WriteJson(message));
}

namespace {

// Cut positions never fall inside a UTF-8 sequence.
size_t CutAt(const std::string& text, size_t from, size_t maxBytes) {
    size_t end = from + maxBytes;
    if (end >= text.size()) return text.size();
    while (end > from + 1 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return end;
}

void AppendEscaped(std::string& out, const std::string& text, size_t from, size_t to) {
    for (size_t i = from; i < to; ++i) {
        const char c = text[i];
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
}

}  // namespace

bool MessageWriter::SendText(const std::string& json) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (json.size() <= kMaxWholeMessage) return WriteFrame(json);
    std::vector<size_t> cuts{0};
    while (cuts.back() < json.size()) cuts.push_back(CutAt(json, cuts.back(), kPartBytes));
    const size_t count = cuts.size() - 1;
    const uint64_t seq = nextSeq_++;
    for (size_t i = 0; i < count; ++i) {
        std::string part = "{\"type\":\"part\",\"seq\":" + std::to_string(seq) +
                           ",\"index\":" + std::to_string(i) +
                           ",\"count\":" + std::to_string(count) + ",\"data\":\"";
        AppendEscaped(part, json, cuts[i], cuts[i + 1]);
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
