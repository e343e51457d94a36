// Text conversions used throughout: wide text to and from the ANSI code page and UTF-8,
// UTF-8 normalisation and URL decoding. Every helper stops at the first NUL of its input;
// an empty input gives an empty output.
#pragma once

#include <string>

namespace util {

std::string WideToAnsi(const std::wstring& text);
std::wstring AnsiToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);
std::wstring Utf8ToWide(const std::string& text);

// Through wide text: ANSI code page to UTF-8 and back.
std::string AnsiToUtf8(const std::string& text);
std::string Utf8ToAnsi(const std::string& text);

// Decodes UTF-8 and encodes it again: ill-formed sequences become U+FFFD and the text ends
// at its first NUL.
std::string NormalizeUtf8(const std::string& text);

// "%" with two hexadecimal digits becomes that byte, "+" a blank; every other byte stays.
std::string UrlDecode(const std::string& text);

}  // namespace util
