// Files named by wide paths: through the narrow path on Linux (UTF-8), through the wide calls on
// Windows, so that names outside the ANSI code page can also be created and tested there.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace platform {

// std::fopen's modes; null when the file cannot be opened. The caller closes it.
std::FILE* OpenFile(const std::wstring& path, const char* mode);
// Whether the path names an existing folder.
bool IsDirectory(const std::wstring& path);
// The byte count of an open file, counted in 64 bits also in a 32-bit process (whose fseeko
// and ftello would stop at 2 GiB); the position is left at the start. -1 when it cannot tell.
int64_t SizeOfOpenFile(std::FILE* file);

}  // namespace platform
