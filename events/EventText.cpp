#include "events/EventText.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

#include <json/writer.h>

#include "util/ByteWords.h"

namespace {

bool NeedsEscape(unsigned char c) {
    return c < 0x20 || c == '"' || c == '\\';
}

void AppendEscaped(unsigned char c, std::string& out) {
    switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default: {
            char escaped[8];
            std::snprintf(escaped, sizeof(escaped), "\\u%04X", c);
            out += escaped;
        }
    }
}

void WriteString(const std::string& s, std::string& out) {
    AppendEventString(s.data(), s.size(), out);
}

// The first byte at or behind `i` that needs an escape, or `length`. HTML has a quote every
// few dozen bytes and little else to escape: the runs between are skipped eight bytes at once.
size_t NextEscape(const char* bytes, size_t i, size_t length) {
    for (; i + 8 <= length; i += 8) {
        const uint64_t w = util::LoadWord(bytes + i);
        if (util::AnyByteBelow(w, 0x20) || util::AnyByteEqual(w, '"') ||
            util::AnyByteEqual(w, '\\')) {
            break;
        }
    }
    while (i < length && !NeedsEscape(static_cast<unsigned char>(bytes[i]))) ++i;
    return i;
}

}  // namespace

void AppendEventString(const char* bytes, size_t length, std::string& out) {
    out.push_back('"');
    size_t run = 0;  // start of the bytes not yet copied
    for (size_t i = NextEscape(bytes, 0, length); i < length; i = NextEscape(bytes, i, length)) {
        out.append(bytes + run, i - run);
        AppendEscaped(static_cast<unsigned char>(bytes[i]), out);
        run = ++i;
    }
    out.append(bytes + run, length - run);
    out.push_back('"');
}

namespace {

void WriteValue(const Json::Value& v, std::string& out) {
    switch (v.type()) {
        case Json::nullValue:
            out += "null";
            break;
        case Json::intValue:
            out += std::to_string(v.asLargestInt());
            break;
        case Json::uintValue:
            out += std::to_string(v.asLargestUInt());
            break;
        case Json::realValue: {
            // Not used by any event; the library's own form keeps it valid JSON.
            Json::StreamWriterBuilder builder;
            builder["indentation"] = "";
            out += Json::writeString(builder, v);
            break;
        }
        case Json::stringValue: {
            const char* begin = nullptr;
            const char* end = nullptr;
            v.getString(&begin, &end);
            if (begin) {
                const size_t length = static_cast<size_t>(end - begin);
                // Room for a long text's escapes at once (HTML's quotes, mostly).
                if (length > 4096) out.reserve(out.size() + length + length / 8 + 2);
                AppendEventString(begin, length, out);
            } else
                WriteString(std::string(), out);
            break;
        }
        case Json::booleanValue:
            out += v.asBool() ? "true" : "false";
            break;
        case Json::arrayValue: {
            out.push_back('[');
            for (Json::ArrayIndex i = 0; i < v.size(); ++i) {
                if (i) out.push_back(',');
                WriteValue(v[i], out);
            }
            out.push_back(']');
            break;
        }
        case Json::objectValue: {
            std::vector<std::string> names = v.getMemberNames();
            std::sort(names.begin(), names.end());  // byte order of the keys
            out.push_back('{');
            for (size_t i = 0; i < names.size(); ++i) {
                if (i) out.push_back(',');
                WriteString(names[i], out);
                out.push_back(':');
                WriteValue(v[names[i]], out);
            }
            out.push_back('}');
            break;
        }
    }
}

}  // namespace

std::string WriteCompactJson(const Json::Value& value) {
    std::string out;
    WriteValue(value, out);
    return out;
}

std::string WriteEventText(const Json::Value& event) {
    std::string out = WriteCompactJson(event);
    out.push_back('\n');
    return out;
}
