#include "platform/kernel/CodePage.h"

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <cerrno>
#include <mutex>

#include "util/Utf8.h"

namespace platform {
namespace {

std::mutex g_codePageMutex;
std::string g_ansiOverride;

std::string LocaleCodeSet() {
    locale_t loc = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
    if (loc == static_cast<locale_t>(0)) return "UTF-8";
    std::string name = nl_langinfo_l(CODESET, loc);
    freelocale(loc);
    // The plain C locale reports ASCII; treat it as UTF-8 so that no text is lost.
    if (name.empty() || name == "ANSI_X3.4-1968") return "UTF-8";
    return name;
}

bool IsUtf8Name(const std::string& name) {
    return name == "UTF-8" || name == "utf-8" || name == "UTF8" || name == "utf8";
}

// One iconv descriptor per call keeps the conversion thread-safe without shared state.
class Iconv {
  public:
    Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Iconv() {
        if (ok()) iconv_close(cd_);
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return cd_; }

  private:
    iconv_t cd_;
};

}  // namespace

std::string AnsiCodePage() {
    std::lock_guard<std::mutex> lock(g_codePageMutex);
    if (!g_ansiOverride.empty()) return g_ansiOverride;
    static const std::string localeCodeSet = LocaleCodeSet();
    return localeCodeSet;
}

void SetAnsiCodePage(const std::string& codeSet) {
    std::lock_guard<std::mutex> lock(g_codePageMutex);
    g_ansiOverride = codeSet;
}

std::wstring MultiByteToWide(const std::string& bytes, const std::string& codeSet) {
    if (bytes.empty()) return std::wstring();
    if (IsUtf8Name(codeSet)) return util::DecodeUtf8(bytes);
    Iconv cd("WCHAR_T", codeSet.c_str());
    if (!cd.ok()) return util::DecodeUtf8(bytes);
    std::wstring out;
    out.reserve(bytes.size());
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    wchar_t buffer[256];
    while (inLeft > 0) {
        char* outPtr = reinterpret_cast<char*>(buffer);
        size_t outLeft = sizeof(buffer);
        size_t rc = iconv(cd.get(), &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, (sizeof(buffer) - outLeft) / sizeof(wchar_t));
        if (rc == static_cast<size_t>(-1)) {
            if (errno == E2BIG) continue;
            // EILSEQ or a truncated sequence at the end: one replacement character per byte.
            out.push_back(L'\xFFFD');
            ++in;
            --inLeft;
            iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);
        }
    }
    return out;
}

std::string WideToMultiByte(const std::wstring& text, const std::string& codeSet) {
    if (text.empty()) return std::string();
    if (IsUtf8Name(codeSet)) return util::EncodeUtf8(text);
    Iconv cd(codeSet.c_str(), "WCHAR_T");
    if (!cd.ok()) return util::EncodeUtf8(text);
    std::string out;
    out.reserve(text.size() * 2);
    char* in = reinterpret_cast<char*>(const_cast<wchar_t*>(text.data()));
    size_t inLeft = text.size() * sizeof(wchar_t);
    char buffer[1024];
    while (inLeft > 0) {
        char* outPtr = buffer;
        size_t outLeft = sizeof(buffer);
        size_t rc = iconv(cd.get(), &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, sizeof(buffer) - outLeft);
        if (rc == static_cast<size_t>(-1)) {
            if (errno == E2BIG) continue;
            out.push_back('?');
            in += sizeof(wchar_t);
            inLeft -= inLeft >= sizeof(wchar_t) ? sizeof(wchar_t) : inLeft;
            iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);
        }
    }
    // Flush any shift state.
    char* outPtr = buffer;
    size_t outLeft = sizeof(buffer);
    iconv(cd.get(), nullptr, nullptr, &outPtr, &outLeft);
    out.append(buffer, sizeof(buffer) - outLeft);
    return out;
}

std::string NativePath(const std::wstring& path) {
    return util::EncodeUtf8(path);
}

}  // namespace platform
