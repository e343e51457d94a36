#include "Office/ClipboardHtml.h"

#include <new>

#include "Biz/Log.h"
#include "platform/clipboard/Clipboard.h"

namespace {

// The number of "HTML Format" on the clipboard now in use (registering is idempotent, and a
// test or tool may have installed another clipboard since the last call).
uint32_t HtmlFormatId() {
    return platform::CurrentClipboard()->RegisterFormat("HTML Format");
}

}  // namespace

bool ClipboardHasHtml() {
    return platform::CurrentClipboard()->IsFormatAvailable(HtmlFormatId());
}

bool ReadClipboardHtml(std::string& html) {
    const uint32_t format = HtmlFormatId();
    if (!platform::CurrentClipboard()->IsFormatAvailable(format)) return false;
    // An empty buffer takes the bytes in place, so that its pages (kept from the last paste)
    // are reused; it goes back empty when the read fails.
    std::string bytes;
    const bool inPlace = html.empty();
    if (inPlace) bytes.swap(html);
    auto fail = [&] {
        if (inPlace) {
            bytes.clear();
            html.swap(bytes);
        }
        return false;
    };
    try {
        if (!platform::CurrentClipboard()->GetData(format, bytes)) return fail();
    } catch (const std::bad_alloc&) {
        QUILLON_TRACE(Log::kWordConverter, __LINE__, Log::Gbk(u8"剪贴板HTML读取内存不足"));
        return fail();
    }
    const size_t nul = bytes.find('\0');
    if (nul != std::string::npos) bytes.resize(nul);
    if (bytes.size() > kMaxClipboardHtmlBytes) {
        QUILLON_TRACE(Log::kWordConverter, __LINE__,
                      Log::Gbk(u8"剪贴板HTML过大，拒绝转换：")
                          << bytes.size() << " > " << kMaxClipboardHtmlBytes);
        return fail();
    }
    html.swap(bytes);
    QUILLON_TRACE(Log::kWordConverter, 209, Log::Gbk(u8"原始word数据：") << "\n" << html);
    return true;
}
