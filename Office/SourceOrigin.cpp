#include "Office/SourceOrigin.h"

#include <cwctype>

#include "platform/kernel/Text.h"

namespace {

const char kKey[] = "SourceURL:";

// Where the SourceURL: value lies: from behind the key up to "<html" (on a damaged header, the
// end of the text). False when there is no key or the value is empty.
bool SourceUrlRange(const std::string& text, size_t& from, size_t& to) {
    const size_t a = text.find(kKey);
    if (a == std::string::npos) return false;
    from = a + sizeof kKey - 1;
    to = text.find("<html", from);
    if (to == std::string::npos) to = text.size();
    return to > from;
}

// The SourceURL: value, trimmed, ends with one of the two extensions (case ignored).
bool SourceEndsWith(const std::string& text, size_t from, size_t to, const wchar_t* ext1,
                    const wchar_t* ext2) {
    // Only the end of the value matters: decode a short tail, not the whole text.
    const size_t tailFrom = to - from > 64 ? to - 64 : from;
    std::wstring url = util::Utf8ToWide(text.substr(tailFrom, to - tailFrom));
    while (!url.empty() && std::iswspace(url.back())) url.pop_back();
    for (wchar_t& c : url) c = static_cast<wchar_t>(std::towlower(c));
    for (const wchar_t* ext : {ext1, ext2}) {
        const std::wstring e(ext);
        if (url.size() >= e.size() && url.compare(url.size() - e.size(), e.size(), e) == 0) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool IsWordSource(const std::string& text) {
    size_t from = 0;
    size_t to = 0;
    if (SourceUrlRange(text, from, to)) return SourceEndsWith(text, from, to, L".doc", L".docx");
    return text.find("StartHTML") != std::string::npos;
}

bool IsExcelSource(const std::string& text) {
    size_t from = 0;
    size_t to = 0;
    return SourceUrlRange(text, from, to) && SourceEndsWith(text, from, to, L".xls", L".xlsx");
}
