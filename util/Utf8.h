// UTF-8 decoding and encoding of wide text (UTF-32 on Linux, UTF-16 on Windows).
#pragma once

#include <string>

namespace util {

// Decodes all bytes; each maximal ill-formed subsequence becomes one U+FFFD.
std::wstring DecodeUtf8(const std::string& bytes);
// Encodes all characters; surrogates and values above U+10FFFF become U+FFFD.
std::string EncodeUtf8(const std::wstring& text);

}  // namespace util
