// Splitting an address into the pieces a connection needs, and the file-name part of it.
#pragma once

#include <cstdint>
#include <string>

struct UrlParts {
    std::string scheme;  // lower case
    std::string host;
    uint16_t port = 0;
    std::string path;   // from the first "/" after the host
    std::string extra;  // from the first "?" or "#" after the host
};

// scheme://[user[:password]@]host[:port][/path][?query][#fragment]. The user name and password
// are ignored. Without a port, the scheme's default (http 80, https 443, ftp 21, gopher 70,
// socks 1080). False, with empty parts, when the address cannot be split: no scheme, a bad
// port, or a scheme over 32 bytes, host over 256, path or extra over 2048.
bool SplitUrl(const std::string& url, UrlParts* parts);

// The text after the last "/", "\\" or ":" that is followed by a byte other than "/" and
// "\\"; a query stays part of it. The whole text when there is no such separator.
std::string UrlFileName(const std::string& url);
