#include "image/PathNames.h"

#include "platform/kernel/FileSystem.h"

namespace {

template <typename Char>
bool IsSeparator(Char c) {
    return c == '\\' || c == '/';
}

bool IsDriveLetter(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

}  // namespace

bool IsRootPath(const std::wstring& path) {
    if (path.size() == 1) return IsSeparator(path[0]);
    if (path.size() == 3 && IsDriveLetter(path[0]) && path[1] == L':' && IsSeparator(path[2]))
        return true;
    if (path.size() > 2 && path[0] == L'\\' && path[1] == L'\\') {
        // "\\server" and "\\server\share" (with an optional trailing separator) are roots.
        size_t separators = 0;
        for (size_t i = 2; i < path.size(); ++i) {
            if (path[i] == L'\\' && i + 1 < path.size()) ++separators;
        }
        return separators <= 1;
    }
    return false;
}

bool IsDirectoryPath(const std::wstring& path) {
    return !path.empty() && platform::IsDirectory(path);
}
