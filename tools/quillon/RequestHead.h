// The request line and header fields of one HTTP/1.x request.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct RequestHead {
    std::string method;
    std::string target;
    std::string version;  // "HTTP/1.0" or "HTTP/1.1"
    // Names lower-cased, values without surrounding blanks, in arrival order.
    std::vector<std::pair<std::string, std::string>> fields;

    // The first value of the (lower-case) name, or null.
    const std::string* Field(const std::string& name) const;
    // Whether a comma-separated field holds the token (letter case ignored).
    bool FieldHasToken(const std::string& name, const std::string& token) const;
    bool KeepAlive() const;
};

// The length of the header block at the front of data, blank line included, or 0 while it
// has not ended. Lines may end in CRLF or a bare LF.
size_t HeaderBlockLength(const std::string& data);

// Parses a whole header block; false when it is not a well-formed HTTP/1.x request head.
bool ParseRequestHead(const std::string& block, RequestHead* head);

enum class BodyLength { kNone, kLength, kChunked, kBad };
// Content-Length, refusing repeated different values and signs; Transfer-Encoding wins.
BodyLength ReadBodyLength(const RequestHead& head, uint64_t* length);

// The path of a request target with its query cut and its %XX escapes decoded.
std::string DecodedPath(const std::string& target);

std::string LowerCase(std::string text);
