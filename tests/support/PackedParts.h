// The test side of the host's packed messages: the parts of one message joined in index
// order, their base64 decoded and the zlib stream inflated, as the extension's relay does.
#pragma once

#include <json/value.h>
#include <zlib.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class PackedParts {
  public:
    // Takes one "packed" message; true once its message is whole, its JSON text in `text`.
    // A malformed part or stream counts in malformed().
    bool Add(const Json::Value& part, std::string& text) {
        ++frames_;
        std::vector<std::string>& pieces = parts_[part["seq"].asUInt64()];
        const Json::ArrayIndex count = part["count"].asUInt();
        const Json::ArrayIndex index = part["index"].asUInt();
        if (pieces.empty()) pieces.resize(count);
        if (count != pieces.size() || index >= pieces.size() || !part["data"].isString()) {
            ++malformed_;
            return false;
        }
        pieces[index] = part["data"].asString();
        for (const std::string& piece : pieces)
            if (piece.empty()) return false;
        std::string stream;
        for (const std::string& piece : pieces)
            if (!DecodeBase64(piece, stream)) ++malformed_;
        parts_.erase(part["seq"].asUInt64());
        if (!Inflate(stream, text)) {
            ++malformed_;
            return false;
        }
        return true;
    }

    size_t frames() const { return frames_; }
    size_t malformed() const { return malformed_; }

  private:
    static bool DecodeBase64(const std::string& text, std::string& out) {
        if (text.size() % 4 != 0) return false;
        uint32_t bits = 0;
        int have = 0;
        for (size_t i = 0; i < text.size(); ++i) {
            const char c = text[i];
            int v;
            if (c >= 'A' && c <= 'Z') v = c - 'A';
            else if (c >= 'a' && c <= 'z') v = c - 'a' + 26;
            else if (c >= '0' && c <= '9') v = c - '0' + 52;
            else if (c == '+') v = 62;
            else if (c == '/') v = 63;
            else if (c == '=' && i + 2 >= text.size()) continue;
            else return false;
            bits = bits << 6 | static_cast<uint32_t>(v);
            have += 6;
            if (have >= 8) {
                have -= 8;
                out += static_cast<char>(bits >> have & 0xFF);
            }
        }
        return true;
    }

    static bool Inflate(const std::string& stream, std::string& text) {
        z_stream z{};
        if (inflateInit(&z) != Z_OK) return false;
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(stream.data()));
        z.avail_in = static_cast<uInt>(stream.size());
        text.clear();
        int status = Z_OK;
        char chunk[1 << 16];
        while (status == Z_OK) {
            z.next_out = reinterpret_cast<Bytef*>(chunk);
            z.avail_out = sizeof(chunk);
            status = inflate(&z, Z_NO_FLUSH);
            text.append(chunk, sizeof(chunk) - z.avail_out);
        }
        inflateEnd(&z);
        // The whole stream, nothing after it.
        return status == Z_STREAM_END && z.avail_in == 0;
    }

    std::map<uint64_t, std::vector<std::string>> parts_;
    size_t frames_ = 0;
    size_t malformed_ = 0;
};
