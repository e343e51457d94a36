#include <windows.h>

#include <cwchar>

#include "platform/kernel/FileSystem.h"

namespace platform {

std::FILE* OpenFile(const std::wstring& path, const char* mode) {
    // Modes are plain ASCII ("rb", "wb"), so widening them byte by byte is exact.
    const std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
    return _wfopen(path.c_str(), wideMode.c_str());
}

bool IsDirectory(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace platform
