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
