// Files named by wide paths: through the narrow path on Linux (UTF-8), through the wide calls on
// Windows, so that names outside the ANSI code page can also be created and tested there.
#pragma once

#include <cstdio>
#include <string>

namespace platform {

// std::fopen's modes; null when the file cannot be opened. The caller closes it.
std::FILE* OpenFile(const std::wstring& path, const char* mode);
// Whether the path names an existing folder.
bool IsDirectory(const std::wstring& path);

}  // namespace platform
