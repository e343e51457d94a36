#include "platform/kernel/Text.h"

#include <cstring>

#include "platform/kernel/CodePage.h"

namespace util {
namespace {

std::string UpToNul(const std::string& s) {
    const size_t nul = s.find('\0');
    return nul == std::string::npos ? s : s.substr(0, nul);
}

std::wstring UpToNul(const std::wstring& s) {
    const size_t nul = s.find(L'\0');
    return nul == std::wstring::npos ? s : s.substr(0, nul);
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string WideToAnsi(const std::wstring& text) {
    return platform::WideToMultiByte(UpToNul(text), platform::AnsiCodePage());
}

std::wstring AnsiToWide(const std::string& text) {
    return platform::MultiByteToWide(UpToNul(text), platform::AnsiCodePage());
}

std::string WideToUtf8(const std::wstring& text) {
    return platform::WideToMultiByte(UpToNul(text), "UTF-8");
}

std::wstring Utf8ToWide(const std::string& text) {
    return platform::MultiByteToWide(UpToNul(text), "UTF-8");
}

std::string AnsiToUtf8(const std::string& text) {
    return WideToUtf8(AnsiToWide(text));
}

std::string Utf8ToAnsi(const std::string& text) {
    return WideToAnsi(Utf8ToWide(text));
}

std::string NormalizeUtf8(const std::string& text) {
    return WideToUtf8(Utf8ToWide(text));
}

std::string UrlDecode(const std::string& text) {
    const std::string in = UpToNul(text);
    std::string out;
    out.reserve(in.size());
    for (size_t i = 0; i < in.size(); ++i) {
        const char c = in[i];
        if (c == '+') {
            out.push_back(' ');
        } else if (c == '%' && i + 2 < in.size() && HexValue(in[i + 1]) >= 0 &&
                   HexValue(in[i + 2]) >= 0) {
            out.push_back(static_cast<char>(HexValue(in[i + 1]) * 16 + HexValue(in[i + 2])));
            i += 2;
        } else {
            out.push_back(c);
        }
    }
    return out;
}

}  // namespace util
