#include "Network/UploadFileName.h"

#include <zlib.h>

#include <cwctype>

#include "platform/kernel/Text.h"

std::wstring UploadFileName(const char* data, int32_t length, const std::wstring& extension) {
    // The standard CRC-32 (reflected 0xEDB88320, start and final complement), the same value
    // Crypto++'s CRC32 gives; zlib's runs several bytes per step and is many times faster on
    // large pictures, whose name is needed before their first byte can go out.
    uLong crc = crc32(0L, Z_NULL, 0);
    if (data && length > 0)
        crc = crc32(crc, reinterpret_cast<const Bytef*>(data), static_cast<uInt>(length));
    return UploadFileNameFromCrc(static_cast<uint32_t>(crc), extension);
}

std::wstring UploadFileNameFromCrc(uint32_t crc, const std::wstring& extension) {
    // The digest bytes least significant first, each as two upper-case hexadecimal digits.
    static const char kDigits[] = "0123456789ABCDEF";
    std::string digits;
    for (int i = 0; i < 4; ++i) {
        const unsigned byte = static_cast<unsigned>(crc >> (8 * i)) & 0xFF;
        digits += kDigits[byte >> 4];
        digits += kDigits[byte & 0xF];
    }
    std::wstring name = util::AnsiToWide(digits) + extension;
    for (wchar_t& c : name) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return name;
}
