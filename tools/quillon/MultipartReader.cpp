#include "tools/quillon/MultipartReader.h"

#include <vector>

#include "tools/quillon/RequestHead.h"

namespace {

// Longest header block of one part: a name, a file name and a content type fit easily.
const size_t kMaxPartHeadBytes = 8192;

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The parameters after the first ";" of a header value: name=value or name="quoted value".
std::vector<std::pair<std::string, std::string>> Parameters(const std::string& value) {
    std::vector<std::pair<std::string, std::string>> result;
    size_t i = value.find(';');
    while (i != std::string::npos && i < value.size()) {
        ++i;
        const size_t equals = value.find('=', i);
        if (equals == std::string::npos) break;
        const std::string name = LowerCase(Trim(value.substr(i, equals - i)));
        size_t k = equals + 1;
        while (k < value.size() && (value[k] == ' ' || value[k] == '\t')) ++k;
        std::string text;
        if (k < value.size() && value[k] == '"') {
            for (++k; k < value.size() && value[k] != '"'; ++k) {
                if (value[k] == '\\' && k + 1 < value.size()) ++k;
                text += value[k];
            }
            i = value.find(';', k);
        } else {
            i = value.find(';', k);
            text = Trim(value.substr(k, i == std::string::npos ? std::string::npos : i - k));
        }
        result.emplace_back(name, text);
    }
    return result;
}

bool ParsePartHead(const std::string& block, PartHead* part) {
    size_t start = 0;
    while (start < block.size()) {
        size_t end = block.find("\r\n", start);
        if (end == std::string::npos) end = block.size();
        const std::string line = block.substr(start, end - start);
        start = end + 2;
        const size_t colon = line.find(':');
        if (colon == std::string::npos) return false;
        if (LowerCase(Trim(line.substr(0, colon))) != "content-disposition") continue;
        for (const auto& parameter : Parameters(line.substr(colon + 1))) {
            if (parameter.first == "name") part->name = parameter.second;
            if (parameter.first == "filename") part->fileName = parameter.second;
        }
    }
    return true;
}

}  // namespace

MultipartReader::MultipartReader(const std::string& boundary, Sink* sink)
    : delimiter_("\r\n--" + boundary), sink_(sink), buffer_("\r\n") {}  // the first may lead

bool MultipartReader::Fail() {
    state_ = State::kFailed;
    buffer_.clear();
    return false;
}

bool MultipartReader::Feed(const char* bytes, size_t n) {
    if (state_ == State::kFailed) return false;
    if (state_ == State::kDone) return true;  // the epilogue is ignored
    buffer_.append(bytes, n);
    while (Step()) {
    }
    return state_ != State::kFailed;
}

// One state change on the buffered bytes; false when more bytes are needed (or it failed).
bool MultipartReader::Step() {
    switch (state_) {
        case State::kPreamble:
        case State::kPartData: {
            const size_t at = buffer_.find(delimiter_);
            const size_t usable = at != std::string::npos ? at
                                  : buffer_.size() >= delimiter_.size()
                                      ? buffer_.size() - delimiter_.size() + 1
                                      : 0;
            if (state_ == State::kPartData && usable > 0 && !sink_->Data(buffer_.data(), usable)) {
                return Fail();
            }
            if (at == std::string::npos) {
                buffer_.erase(0, usable);
                return false;
            }
            if (state_ == State::kPartData && !sink_->End()) return Fail();
            buffer_.erase(0, at + delimiter_.size());
            state_ = State::kAfterDelimiter;
            return true;
        }
        case State::kAfterDelimiter: {
            // Blanks may pad a delimiter before its line end.
            const size_t padding = buffer_.find_first_not_of(" \t");
            if (padding == std::string::npos || buffer_.size() < padding + 2) {
                return buffer_.size() > 256 ? Fail() : false;
            }
            if (padding == 0 && buffer_.compare(0, 2, "--") == 0) {
                state_ = State::kDone;
                buffer_.clear();
                return false;
            }
            if (buffer_.compare(padding, 2, "\r\n") != 0) return Fail();
            buffer_.erase(0, padding + 2);
            state_ = State::kPartHead;
            return true;
        }
        case State::kPartHead: {
            const size_t end = buffer_.compare(0, 2, "\r\n") == 0 ? 0 : buffer_.find("\r\n\r\n");
            if (end == std::string::npos) {
                return buffer_.size() > kMaxPartHeadBytes ? Fail() : false;
            }
            if (end > kMaxPartHeadBytes) return Fail();
            PartHead part;
            if (!ParsePartHead(buffer_.substr(0, end), &part) || !sink_->Begin(part)) {
                return Fail();
            }
            // The part's data starts after the blank line; the leading CRLF of the next
            // delimiter belongs to the delimiter.
            buffer_.erase(0, end == 0 ? 2 : end + 4);
            state_ = State::kPartData;
            return true;
        }
        case State::kDone:
        case State::kFailed:
            return false;
    }
    return false;
}

std::string MultipartBoundary(const std::string& contentType) {
    const std::string type = LowerCase(Trim(contentType.substr(0, contentType.find(';'))));
    if (type != "multipart/form-data") return "";
    for (const auto& parameter : Parameters(contentType)) {
        if (parameter.first == "boundary" && !parameter.second.empty() &&
            parameter.second.size() <= 70) {
            return parameter.second;
        }
    }
    return "";
}
