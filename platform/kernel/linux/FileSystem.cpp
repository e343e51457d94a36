#include "platform/kernel/FileSystem.h"

#include <filesystem>
#include <system_error>

#include "platform/kernel/CodePage.h"

namespace platform {

std::FILE* OpenFile(const std::wstring& path, const char* mode) {
    return std::fopen(NativePath(path).c_str(), mode);
}

int64_t SizeOfOpenFile(std::FILE* file) {
    if (fseeko(file, 0, SEEK_END) != 0) return -1;
    const int64_t size = ftello(file);
    if (fseeko(file, 0, SEEK_SET) != 0) return -1;
    return size;
}

bool IsDirectory(const std::wstring& path) {
    std::error_code error;
    return std::filesystem::is_directory(NativePath(path), error);
}

}  // namespace platform
