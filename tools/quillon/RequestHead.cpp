#include "tools/quillon/RequestHead.h"

#include <cctype>

namespace {

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool IsTokenChar(unsigned char c) {
    return c > 0x20 && c < 0x7F &&
           std::string("()<>@,;:\\\"/[]?={}").find(static_cast<char>(c)) == std::string::npos;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string LowerCase(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

const std::string* RequestHead::Field(const std::string& name) const {
    for (const auto& field : fields) {
        if (field.first == name) return &field.second;
    }
    return nullptr;
}

bool RequestHead::FieldHasToken(const std::string& name, const std::string& token) const {
    for (const auto& field : fields) {
        if (field.first != name) continue;
        size_t start = 0;
        while (start <= field.second.size()) {
            size_t comma = field.second.find(',', start);
            if (comma == std::string::npos) comma = field.second.size();
            if (LowerCase(Trim(field.second.substr(start, comma - start))) == token) return true;
            start = comma + 1;
        }
    }
    return false;
}

bool RequestHead::KeepAlive() const {
    if (FieldHasToken("connection", "close")) return false;
    return version == "HTTP/1.1" || FieldHasToken("connection", "keep-alive");
}

size_t HeaderBlockLength(const std::string& data) {
    for (size_t i = data.find('\n'); i != std::string::npos; i = data.find('\n', i + 1)) {
        if (i + 1 < data.size() && data[i + 1] == '\n') return i + 2;
        if (i + 2 < data.size() && data[i + 1] == '\r' && data[i + 2] == '\n') return i + 3;
    }
    return 0;
}

bool ParseRequestHead(const std::string& block, RequestHead* head) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end = block.find('\n'); end != std::string::npos;
         start = end + 1, end = block.find('\n', start)) {
        std::string line = block.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) break;
        lines.push_back(line);
    }
    if (lines.empty()) return false;

    const std::string& requestLine = lines[0];
    const size_t firstSpace = requestLine.find(' ');
    const size_t lastSpace = requestLine.rfind(' ');
    if (firstSpace == std::string::npos || firstSpace == lastSpace) return false;
    head->method = requestLine.substr(0, firstSpace);
    head->target = requestLine.substr(firstSpace + 1, lastSpace - firstSpace - 1);
    head->version = requestLine.substr(lastSpace + 1);
    if (head->method.empty() || head->target.empty() ||
        head->target.find(' ') != std::string::npos ||
        (head->version != "HTTP/1.1" && head->version != "HTTP/1.0")) {
        return false;
    }
    for (unsigned char c : head->method) {
        if (!IsTokenChar(c)) return false;
    }

    head->fields.clear();
    for (size_t i = 1; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        const size_t colon = line.find(':');
        // A name must be a token right before its colon; folded lines are refused.
        if (colon == 0 || colon == std::string::npos) return false;
        for (size_t k = 0; k < colon; ++k) {
            if (!IsTokenChar(static_cast<unsigned char>(line[k]))) return false;
        }
        head->fields.emplace_back(LowerCase(line.substr(0, colon)), Trim(line.substr(colon + 1)));
    }
    return true;
}

BodyLength ReadBodyLength(const RequestHead& head, uint64_t* length) {
    if (head.Field("transfer-encoding")) return BodyLength::kChunked;
    bool seen = false;
    for (const auto& field : head.fields) {
        if (field.first != "content-length") continue;
        const std::string& text = field.second;
        if (text.empty() || text.size() > 18) return BodyLength::kBad;
        uint64_t value = 0;
        for (char c : text) {
            if (c < '0' || c > '9') return BodyLength::kBad;
            value = value * 10 + static_cast<uint64_t>(c - '0');
        }
        if (seen && value != *length) return BodyLength::kBad;
        *length = value;
        seen = true;
    }
    return seen ? BodyLength::kLength : BodyLength::kNone;
}

std::string DecodedPath(const std::string& target) {
    const std::string path = target.substr(0, target.find_first_of("?#"));
    std::string decoded;
    for (size_t i = 0; i < path.size(); ++i) {
        if (path[i] == '%' && i + 2 < path.size() && HexValue(path[i + 1]) >= 0 &&
            HexValue(path[i + 2]) >= 0) {
            decoded += static_cast<char>(HexValue(path[i + 1]) * 16 + HexValue(path[i + 2]));
            i += 2;
        } else {
            decoded += path[i];
        }
    }
    return decoded;
}
