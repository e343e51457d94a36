#include "Network/UrlParts.h"

#include <algorithm>
#include <cctype>

namespace {

const size_t kMaxScheme = 32;
const size_t kMaxHost = 256;
const size_t kMaxPath = 2048;
const size_t kMaxExtra = 2048;

uint16_t DefaultPort(const std::string& scheme) {
    if (scheme == "http") return 80;
    if (scheme == "https") return 443;
    if (scheme == "ftp") return 21;
    if (scheme == "gopher") return 70;
    if (scheme == "socks") return 1080;
    return 0;
}

bool SplitInto(const std::string& url, UrlParts* parts) {
    const size_t colon = url.find("://");
    if (colon == std::string::npos || colon == 0 || colon > kMaxScheme) return false;
    for (size_t i = 0; i < colon; ++i) {
        const unsigned char c = url[i];
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') return false;
    }
    parts->scheme = url.substr(0, colon);
    std::transform(parts->scheme.begin(), parts->scheme.end(), parts->scheme.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });

    const size_t authorityStart = colon + 3;
    size_t authorityEnd = url.find_first_of("/?#", authorityStart);
    if (authorityEnd == std::string::npos) authorityEnd = url.size();
    std::string authority = url.substr(authorityStart, authorityEnd - authorityStart);
    const size_t at = authority.rfind('@');
    if (at != std::string::npos) authority.erase(0, at + 1);

    std::string portText;
    if (!authority.empty() && authority[0] == '[') {
        const size_t close = authority.find(']');
        if (close == std::string::npos) return false;
        parts->host = authority.substr(1, close - 1);
        if (close + 1 < authority.size()) {
            if (authority[close + 1] != ':') return false;
            portText = authority.substr(close + 2);
        }
    } else {
        const size_t portColon = authority.rfind(':');
        parts->host = authority.substr(0, portColon);
        if (portColon != std::string::npos) portText = authority.substr(portColon + 1);
    }
    if (parts->host.empty() || parts->host.size() > kMaxHost) return false;

    if (portText.empty()) {
        parts->port = DefaultPort(parts->scheme);
    } else {
        if (portText.size() > 5) return false;
        unsigned long port = 0;
        for (char c : portText) {
            if (c < '0' || c > '9') return false;
            port = port * 10 + static_cast<unsigned long>(c - '0');
        }
        if (port == 0 || port > 65535) return false;
        parts->port = static_cast<uint16_t>(port);
    }

    const size_t extraStart = url.find_first_of("?#", authorityEnd);
    const size_t pathEnd = extraStart == std::string::npos ? url.size() : extraStart;
    parts->path = url.substr(authorityEnd, pathEnd - authorityEnd);
    if (extraStart != std::string::npos) parts->extra = url.substr(extraStart);
    return parts->path.size() <= kMaxPath && parts->extra.size() <= kMaxExtra;
}

}  // namespace

bool SplitUrl(const std::string& url, UrlParts* parts) {
    *parts = UrlParts();
    if (SplitInto(url, parts)) return true;
    *parts = UrlParts();
    return false;
}

std::string UrlFileName(const std::string& url) {
    size_t start = 0;
    for (size_t i = 0; i + 1 < url.size(); ++i) {
        const char c = url[i];
        const char next = url[i + 1];
        if ((c == '/' || c == '\\' || c == ':') && next != '/' && next != '\\') start = i + 1;
    }
    return url.substr(start);
}
