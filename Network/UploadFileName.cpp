#include "Network/UploadFileName.h"

#include <cryptopp/crc.h>
#include <cryptopp/filters.h>
#include <cryptopp/hex.h>

#include <cwctype>

#include "util/CodePage.h"

std::wstring UploadFileName(const char* data, int32_t length, const std::wstring& extension) {
    static const CryptoPP::byte kNothing = 0;
    const CryptoPP::byte* bytes =
        data && length > 0 ? reinterpret_cast<const CryptoPP::byte*>(data) : &kNothing;
    const size_t count = data && length > 0 ? static_cast<size_t>(length) : 0;
    CryptoPP::CRC32 crc;
    std::string digits;
    CryptoPP::ArraySource source(
        bytes, count, true,
        new CryptoPP::HashFilter(crc,
                                 new CryptoPP::HexEncoder(new CryptoPP::StringSink(digits), true)));
    std::wstring name = util::AnsiToWide(digits) + extension;
    for (wchar_t& c : name) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return name;
}
