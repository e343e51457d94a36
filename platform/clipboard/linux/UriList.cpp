#include "platform/clipboard/linux/UriList.h"

#include <unistd.h>

#include <cctype>

#include "platform/kernel/Text.h"

namespace platform {
namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// "%XX" becomes its byte; "+" stays (it is a plus sign in a file address). A NUL byte
// cannot be part of a path, so it rejects the address.
bool PercentDecode(const std::string& text, std::string& out) {
    out.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
            HexValue(text[i + 2]) >= 0) {
            c = static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        }
        if (c == '\0') return false;
        out.push_back(c);
    }
    return true;
}

bool IsLocalHost(const std::string& host) {
    if (host.empty() || host == "localhost") return true;
    char name[256] = {};
    return gethostname(name, sizeof name - 1) == 0 && host == name;
}

bool IsValidUtf8(const std::string& text) {
    return util::NormalizeUtf8(text) == text;
}

bool PathFromFileUri(const std::string& uri, std::wstring& path) {
    const std::string scheme = "file://";
    if (uri.size() <= scheme.size()) return false;
    for (size_t i = 0; i < scheme.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(uri[i])) != scheme[i]) return false;
    const size_t slash = uri.find('/', scheme.size());
    if (slash == std::string::npos) return false;
    if (!IsLocalHost(uri.substr(scheme.size(), slash - scheme.size()))) return false;
    std::string encoded = uri.substr(slash);
    encoded = encoded.substr(0, encoded.find_first_of("?#"));
    std::string decoded;
    if (!PercentDecode(encoded, decoded) || !IsValidUtf8(decoded)) return false;
    path = util::Utf8ToWide(decoded);
    return !path.empty();
}

}  // namespace

std::vector<std::wstring> FilePathsFromUriList(const std::string& text, bool gnomeCopiedFiles) {
    std::vector<std::wstring> paths;
    const std::string list = text.substr(0, text.find('\0'));
    size_t at = 0;
    bool firstLine = true;
    while (at < list.size()) {
        size_t end = list.find('\n', at);
        if (end == std::string::npos) end = list.size();
        std::string line = list.substr(at, end - at);
        at = end + 1;
        const size_t first = line.find_first_not_of(" \t\r");
        line = first == std::string::npos ? std::string() : line.substr(first);
        line.erase(line.find_last_not_of(" \t\r") + 1);
        const bool operationLine =
            gnomeCopiedFiles && firstLine && (line == "copy" || line == "cut");
        firstLine = false;
        if (line.empty() || line[0] == '#' || operationLine) continue;
        std::wstring path;
        if (PathFromFileUri(line, path)) paths.push_back(path);
    }
    return paths;
}

}  // namespace platform
