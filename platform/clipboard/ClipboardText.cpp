#include "platform/clipboard/ClipboardText.h"

#include "platform/kernel/Text.h"

namespace platform {
namespace {

bool LooksLikeUtf16(const std::string& bytes, bool& littleEndian) {
    if (bytes.size() < 2) return false;
    const unsigned char b0 = bytes[0], b1 = bytes[1];
    if (b0 == 0xFF && b1 == 0xFE) return littleEndian = true;
    if (b0 == 0xFE && b1 == 0xFF) {
        littleEndian = false;
        return true;
    }
    // No mark: ASCII-range UTF-16 has a NUL in every other byte.
    if (bytes.size() % 2 != 0) return false;
    size_t evenNuls = 0, oddNuls = 0;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        evenNuls += bytes[i] == '\0';
        oddNuls += bytes[i + 1] == '\0';
    }
    const size_t units = bytes.size() / 2;
    if (oddNuls * 4 >= units * 3 && evenNuls == 0) return littleEndian = true;
    if (evenNuls * 4 >= units * 3 && oddNuls == 0) {
        littleEndian = false;
        return true;
    }
    return false;
}

std::string Utf16ToUtf8(const std::string& bytes, bool littleEndian) {
    std::wstring wide;
    size_t i = 0;
    if (bytes.size() >= 2 && ((unsigned char)bytes[0] + (unsigned char)bytes[1]) == 0xFF + 0xFE)
        i = 2;
    auto unit = [&](size_t at) -> uint32_t {
        const unsigned char a = bytes[at], b = bytes[at + 1];
        return littleEndian ? (a | b << 8) : (a << 8 | b);
    };
    for (; i + 1 < bytes.size(); i += 2) {
        uint32_t cp = unit(i);
        if (cp == 0) break;
        if (cp >= 0xD800 && cp < 0xDC00 && i + 3 < bytes.size()) {
            const uint32_t low = unit(i + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            } else {
                cp = 0xFFFD;
            }
        } else if (cp >= 0xD800 && cp < 0xE000) {
            cp = 0xFFFD;
        }
        wide.push_back(static_cast<wchar_t>(cp));
    }
    return util::WideToUtf8(wide);
}

}  // namespace

std::string ClipboardTextToUtf8(const std::string& bytes) {
    bool littleEndian = true;
    if (LooksLikeUtf16(bytes, littleEndian)) return Utf16ToUtf8(bytes, littleEndian);
    std::string text = bytes.substr(0, bytes.find('\0'));
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
    return text;
}

std::string FirstLineOfText(const std::string& bytes) {
    const std::string text = ClipboardTextToUtf8(bytes);
    const char* blanks = " \t\r\n";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return std::string();
    const size_t lineEnd = text.find_first_of("\r\n", first);
    const std::string line =
        text.substr(first, lineEnd == std::string::npos ? lineEnd : lineEnd - first);
    return line.substr(0, line.find_last_not_of(blanks) + 1);
}

}  // namespace platform
