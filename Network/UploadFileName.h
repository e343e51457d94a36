// The name an upload carries: the CRC-32 of its bytes as 8 hexadecimal digits (least
// significant byte first) with the extension, all in lower case; "2639f4cb.png" for the
// bytes "123456789" and ".PNG".
#pragma once

#include <cstdint>
#include <string>

std::wstring UploadFileName(const char* data, int32_t length, const std::wstring& extension);
// The same name from a CRC-32 computed piece by piece (zlib's crc32, started from 0).
std::wstring UploadFileNameFromCrc(uint32_t crc, const std::wstring& extension);
