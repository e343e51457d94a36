#include "Office/LocalPath.h"

#include <cctype>

namespace {

bool IsDriveAt(const std::string& s, size_t i) {
    return i + 1 < s.size() && std::isalpha(static_cast<unsigned char>(s[i])) &&
           (s[i + 1] == ':' || s[i + 1] == '|');
}

// Removes every `scheme`; when `keepRoot`, one that is not followed by a drive letter leaves
// the slash that starts an absolute path.
std::string RemoveScheme(const std::string& text, const std::string& scheme, bool keepRoot) {
    std::string out;
    out.reserve(text.size());
    size_t pos = 0;
    for (size_t q; (q = text.find(scheme, pos)) != std::string::npos; pos = q + scheme.size()) {
        out.append(text, pos, q - pos);
        if (keepRoot && !IsDriveAt(text, q + scheme.size())) out += '/';
    }
    out.append(text, pos, std::string::npos);
    return out;
}

}  // namespace

std::string StripFileScheme(const std::string& src) {
    return RemoveScheme(RemoveScheme(src, "file:///", true), "file://", false);
}

std::string LocalFilePath(const std::string& src) {
    return RemoveScheme(src, "file:///", true);
}

std::string FileNameOf(const std::string& path) {
    size_t start = 0;
    for (size_t i = 0; i + 1 < path.size(); ++i) {
        const char c = path[i];
        if ((c == '\\' || c == '/' || c == ':') && path[i + 1] != '\\' && path[i + 1] != '/') {
            start = i + 1;
        }
    }
    return path.substr(start);
}

std::string ExtensionOf(const std::string& path) {
    size_t dot = std::string::npos;
    for (size_t i = 0; i < path.size(); ++i) {
        const char c = path[i];
        if (c == '\\' || c == '/' || c == ' ') {
            dot = std::string::npos;
        } else if (c == '.') {
            dot = i;
        }
    }
    return dot == std::string::npos ? std::string() : path.substr(dot);
}
