// File helpers over wide paths.
#pragma once

#include <cstdint>
#include <string>

#include "util/SharedBuffer.h"

namespace util {

// The file's size in bytes; 0 when it cannot be opened.
int64_t FileSize(const std::wstring& path);
// The whole file in a zero-filled buffer of size + 1 bytes; empty and 0 when it cannot be
// opened (or is larger than a 32-bit count can hold).
SharedBuffer ReadWholeFile(const std::wstring& path);
// Writes the bytes to the file, replacing it; false when it cannot be written.
bool WriteWholeFile(const std::wstring& path, const std::string& bytes);

}  // namespace util
