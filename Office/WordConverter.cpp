#include "Office/WordConverter.h"

#include <cwctype>
#include <new>

#include "Biz/Log.h"
#include "Office/TextOps.h"
#include "platform/clipboard/Clipboard.h"
#include "platform/kernel/Text.h"

namespace {

const char kHtmlFormat[] = "HTML Format";

// The number of "HTML Format" on the clipboard now in use (registering is idempotent, and a
// test or tool may have installed another clipboard since construction).
uint32_t HtmlFormatId() {
    return platform::CurrentClipboard()->RegisterFormat(kHtmlFormat);
}

// The SourceURL: value, trimmed, ends with one of the two extensions (case ignored).
bool SourceEndsWith(const std::string& text, const wchar_t* ext1, const wchar_t* ext2) {
    static const std::string kKey = "SourceURL:";
    const size_t a = text.find(kKey);
    if (a == std::string::npos) return false;
    const size_t from = a + kKey.size();
    size_t to = text.find("<html", from);
    if (to == std::string::npos) to = text.size();
    if (to == from) return false;
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

// Whether a SourceURL: value is there (text between the key and "<html"), without copying it:
// on a damaged header it runs to the end of the text.
bool HasSourceUrl(const std::string& text) {
    static const std::string kKey = "SourceURL:";
    const size_t a = text.find(kKey);
    if (a == std::string::npos) return false;
    const size_t from = a + kKey.size();
    const size_t to = text.find("<html", from);
    return (to == std::string::npos ? text.size() : to) > from;
}

}  // namespace

WordConverter::WordConverter() : htmlFormat_(HtmlFormatId()) {}

WordConverter::~WordConverter() = default;

bool WordConverter::HasHtml() {
    htmlFormat_ = HtmlFormatId();
    return platform::CurrentClipboard()->IsFormatAvailable(htmlFormat_);
}

void WordConverter::ReadClipboard() {
    if (!HasHtml()) return;
    std::string bytes;
    try {
        if (!platform::CurrentClipboard()->GetData(htmlFormat_, bytes)) return;
    } catch (const std::bad_alloc&) {
        QUILLON_TRACE(Log::kWordConverter, __LINE__, Log::Gbk(u8"剪贴板HTML读取内存不足"));
        return;
    }
    const size_t nul = bytes.find('\0');
    if (nul != std::string::npos) bytes.resize(nul);
    if (bytes.size() > kMaxClipboardHtml) {
        QUILLON_TRACE(Log::kWordConverter, __LINE__,
                      Log::Gbk(u8"剪贴板HTML过大，拒绝转换：")
                          << bytes.size() << " > " << kMaxClipboardHtml);
        return;
    }
    text_.swap(bytes);
    QUILLON_TRACE(Log::kWordConverter, 209, Log::Gbk(u8"原始word数据：") << "\n" << text_);
}

bool WordConverter::TestWord() const {
    if (HasSourceUrl(text_)) return SourceEndsWith(text_, L".doc", L".docx");
    return text_.find("StartHTML") != std::string::npos;
}

bool WordConverter::TestExcel() const {
    if (!HasSourceUrl(text_)) return false;
    return SourceEndsWith(text_, L".xls", L".xlsx");
}

bool WordConverter::IsWord() {
    if (!HasHtml()) return false;
    ReadClipboard();
    return TestWord();
}

bool WordConverter::IsExcel() {
    if (!HasHtml()) return false;
    ReadClipboard();
    return TestExcel();
}

void WordConverter::CutFragment() {
    size_t a = text_.find("<!--StartFragment-->");
    if (a == std::string::npos) a = text_.find("<!--StartFragment -->");
    if (a == std::string::npos) return;
    size_t b = text_.find('<', a + 1);
    if (b == std::string::npos) b = a + 20;
    const size_t e = text_.find("<!--EndFragment-->", b + 1);
    if (e == std::string::npos) return;
    // Cut in place: a copy would map and fault in a second text as large as the first.
    text_.erase(e);
    text_.erase(0, b);
}

void WordConverter::CutTable() {
    const size_t a = text_.find("<table");
    if (a == std::string::npos) return;
    const size_t e = text_.find("<!--EndFragment-->", a + 1);
    if (e == std::string::npos) return;
    const size_t t = text_.find("</table>", e);
    if (t == std::string::npos) return;
    text_.erase(t + 8);
    text_.erase(0, a);
}

void WordConverter::GetWord() {
    Get(false);
}

void WordConverter::GetExcel() {
    Get(true);
}

void WordConverter::Get(bool excel) {
    images_.clear();
    text_.clear();
    ReadClipboard();
    try {
        css_.LoadStyles(text_);
        if (excel) {
            CutTable();
        } else {
            CutFragment();
        }
    } catch (const std::bad_alloc&) {
        Abandon("styles");
        return;
    }
    Convert();
}

void WordConverter::Convert() {
    try {
        ConvertSteps();
    } catch (const std::bad_alloc&) {
        Abandon("convert");
    }
}

void WordConverter::Abandon(const char* step) {
    std::string().swap(text_);
    images_.clear();
    QUILLON_TRACE(Log::kWordConverter, __LINE__, Log::Gbk(u8"转换内存不足，结果为空：") << step);
}

void WordConverter::ConvertSteps() {
    std::string scratch;  // one buffer for all steps
    auto replace = [this, &scratch](const char* from, const char* to) {
        if (literal_) {
            plain::ReplaceAll(text_, from, to);
        } else {
            ReplaceAll(text_, from, to, scratch);
        }
    };
    auto strip = [this, &scratch](const char* start, const char* end, bool keep) {
        if (literal_) {
            plain::StripBlocks(text_, start, end, keep);
        } else {
            StripBlocks(text_, start, end, keep, scratch);
        }
    };
    unnamedPictures_ = 0;
    replace("<o:p></o:p>", "");
    strip("<o:p>", "</o:p>", true);
    replace("<p class=MsoNormal>",
            "<p style=\"text-justify: inter-ideograph; text-align: justify; margin: 0cm 0cm 0pt; "
            "font-family: 'Times New Roman'; font-size: 10.5pt\">");
    formula_.Scan(text_, literal_, &scratch);
    strip("<!--[if gte vml 1]>", "<![endif]-->", true);
    strip("<![if !vml]>", "<![endif]>", true);
    strip("<!--[if gte mso 9]>", "<![endif]-->", false);
    strip("<!--[if !supportLists]-->", "<!--[endif]-->", true);
    replace("<v:shapetype", "<vshapetype");
    replace("</v:shapetype>", "</vshapetype>");
    replace("<v:shape", "<vshape");
    replace("</v:shape>", "</vshape>");
    replace("v:shapes=", "vshapes=");
    TagPass(scratch);
}
