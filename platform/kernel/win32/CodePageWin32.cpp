// Code pages on Windows: MultiByteToWideChar and WideCharToMultiByte. Code sets are named as
// on Linux ("GBK", "UTF-8", "CP1252", ...) and mapped to Windows code page numbers; the ANSI
// code page is the system's (GetACP) unless a caller replaced it.
#define NOMINMAX
#include <windows.h>

#include <algorithm>
#include <climits>
#include <mutex>

#include "platform/kernel/CodePage.h"
#include "platform/kernel/win32/CodePageNames.h"
#include "util/Utf8.h"

namespace platform {
namespace {

std::mutex g_codePageMutex;
std::string g_ansiOverride;

// A single character of a multi-byte code page is at most this long (GB18030: 4 bytes).
constexpr int kMaxCharBytes = 4;

// Converts one valid run; false when the bytes are not valid in the code page.
bool StrictToWide(UINT cp, const char* bytes, int size, std::wstring& out) {
    const int n = MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, bytes, size, nullptr, 0);
    if (n <= 0) return false;
    const size_t at = out.size();
    out.resize(at + static_cast<size_t>(n));
    if (MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, bytes, size, &out[at], n) != n) {
        out.resize(at);
        return false;
    }
    return true;
}

// Input with invalid bytes: character by character, the shortest valid sequence at each
// position; a byte that starts none becomes U+FFFD.
std::wstring ToWideByCharacter(UINT cp, const std::string& bytes) {
    std::wstring out;
    out.reserve(bytes.size());
    size_t i = 0;
    while (i < bytes.size()) {
        const int left = static_cast<int>(std::min<size_t>(bytes.size() - i, kMaxCharBytes));
        int used = 0;
        for (int len = 1; len <= left && used == 0; ++len) {
            if (StrictToWide(cp, bytes.data() + i, len, out)) used = len;
        }
        if (used == 0) {
            out.push_back(L'\xFFFD');
            used = 1;
        }
        i += static_cast<size_t>(used);
    }
    return out;
}

// These code pages take no flags in WideCharToMultiByte.
bool TakesNoFlags(UINT cp) {
    return cp == 42 || cp == 54936 || cp == 65000 || cp == 52936 || (cp >= 50220 && cp <= 50229) ||
           (cp >= 57002 && cp <= 57011);
}

// Wide text to code page `cp`; characters it lacks become its default character, never a
// look-alike ("best fit" could turn a full-width solidus of a path into "\").
std::string FromWide(UINT cp, const std::wstring& text, bool* lossy) {
    if (text.size() > static_cast<size_t>(INT_MAX)) return std::string();
    const int size = static_cast<int>(text.size());
    DWORD flags = TakesNoFlags(cp) ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    // The default-character report is refused for some code pages; ask for it only when wanted.
    BOOL* used = lossy != nullptr && !TakesNoFlags(cp) ? &usedDefault : nullptr;
    int n = WideCharToMultiByte(cp, flags, text.data(), size, nullptr, 0, nullptr, used);
    if (n <= 0 && GetLastError() == ERROR_INVALID_FLAGS) {
        flags = 0;
        n = WideCharToMultiByte(cp, flags, text.data(), size, nullptr, 0, nullptr, used);
    }
    if (n <= 0) return std::string();
    std::string out(static_cast<size_t>(n), '\0');
    if (WideCharToMultiByte(cp, flags, text.data(), size, &out[0], n, nullptr, used) != n) {
        return std::string();
    }
    if (lossy != nullptr) *lossy = usedDefault != FALSE;
    return out;
}

// The Windows code page of a code-set name; 0 for a name Windows has no code page for.
UINT CodePageOf(const std::string& codeSet) {
    const unsigned cp = CodePageNumber(codeSet);
    if (cp == 0 || cp == CP_UTF8 || IsValidCodePage(cp)) return cp;
    // Without GB18030 its GBK part still reads and writes right; UTF-8 would garble it.
    if (cp == 54936 && IsValidCodePage(936)) return 936;
    return 0;
}

}  // namespace

std::string AnsiCodePage() {
    std::lock_guard<std::mutex> lock(g_codePageMutex);
    if (!g_ansiOverride.empty()) return g_ansiOverride;
    return CodeSetName(GetACP());
}

void SetAnsiCodePage(const std::string& codeSet) {
    std::lock_guard<std::mutex> lock(g_codePageMutex);
    g_ansiOverride = codeSet;
}

std::wstring MultiByteToWide(const std::string& bytes, const std::string& codeSet) {
    if (bytes.empty()) return std::wstring();
    const UINT cp = CodePageOf(codeSet);
    // UTF-8 through the shared decoder: one U+FFFD per ill-formed sequence on every system.
    // An unknown code set is read as UTF-8 too, as the Linux build does.
    if (cp == 0 || cp == CP_UTF8 || bytes.size() > static_cast<size_t>(INT_MAX)) {
        return util::DecodeUtf8(bytes);
    }
    std::wstring out;
    if (StrictToWide(cp, bytes.data(), static_cast<int>(bytes.size()), out)) return out;
    return ToWideByCharacter(cp, bytes);
}

std::string WideToMultiByte(const std::wstring& text, const std::string& codeSet) {
    if (text.empty()) return std::string();
    const UINT cp = CodePageOf(codeSet);
    if (cp == 0 || cp == CP_UTF8) return util::EncodeUtf8(text);
    return FromWide(cp, text, nullptr);
}

// The narrow file calls take the system's ANSI code page (not the replaceable setting). A
// name the code page cannot spell is tried in its short 8.3 form, which is plain ASCII.
std::string NativePath(const std::wstring& path) {
    if (path.empty()) return std::string();
    const UINT acp = GetACP();
    if (acp == CP_UTF8) return util::EncodeUtf8(path);
    bool lossy = false;
    const std::string ansi = FromWide(acp, path, &lossy);
    if (!lossy) return ansi;
    const DWORD n = GetShortPathNameW(path.c_str(), nullptr, 0);
    if (n == 0) return ansi;
    std::wstring shortPath(n, L'\0');
    const DWORD written = GetShortPathNameW(path.c_str(), &shortPath[0], n);
    if (written == 0 || written >= n) return ansi;
    shortPath.resize(written);
    bool shortLossy = false;
    const std::string shortAnsi = FromWide(acp, shortPath, &shortLossy);
    return shortLossy || shortAnsi.empty() ? ansi : shortAnsi;
}

}  // namespace platform
