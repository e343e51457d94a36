#include <windows.h>

#include <cwchar>

#include "platform/kernel/FileSystem.h"

namespace platform {

std::FILE* OpenFile(const std::wstring& path, const char* mode) {
    // Modes are plain ASCII ("rb", "wb"), so widening them byte by byte is exact.
    const std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
    return _wfopen(path.c_str(), wideMode.c_str());
}

int64_t SizeOfOpenFile(std::FILE* file) {
    if (_fseeki64(file, 0, SEEK_END) != 0) return -1;
    const int64_t size = _ftelli64(file);
    if (_fseeki64(file, 0, SEEK_SET) != 0) return -1;
    return size;
}

bool IsDirectory(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace platform
