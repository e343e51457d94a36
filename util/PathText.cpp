#include "util/PathText.h"

namespace {

template <typename Char>
bool IsSeparator(Char c) {
    return c == '\\' || c == '/';
}

template <typename String>
String Extension(const String& path) {
    size_t dot = String::npos;
    for (size_t i = 0; i < path.size(); ++i) {
        if (path[i] == '.') {
            dot = i;
        } else if (IsSeparator(path[i]) || path[i] == ' ') {
            dot = String::npos;
        }
    }
    return dot == String::npos ? String() : path.substr(dot);
}

}  // namespace

std::string ExtensionOf(const std::string& path) {
    return Extension(path);
}

std::wstring ExtensionOf(const std::wstring& path) {
    return Extension(path);
}

std::wstring FindPathFileName(const std::wstring& path) {
    size_t start = 0;
    for (size_t i = 0; i + 1 < path.size(); ++i) {
        if (IsSeparator(path[i])) start = i + 1;
    }
    return path.substr(start);
}

std::string FileNameOf(const std::string& path) {
    size_t start = 0;
    for (size_t i = 0; i + 1 < path.size(); ++i) {
        const char c = path[i];
        if ((IsSeparator(c) || c == ':') && !IsSeparator(path[i + 1])) start = i + 1;
    }
    return path.substr(start);
}
