// libFuzzer target over the paste command's conversion path: any bytes as "HTML Format". Small
// inputs are also converted step by step, literally, and must give the very same result.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "Office/WordConverter.h"
#include "events/PageEvents.h"
#include "platform/clipboard/MemoryClipboard.h"
#include "reference/ReferenceConverter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::shared_ptr<platform::MemoryClipboard> clipboard = [] {
        auto c = std::make_shared<platform::MemoryClipboard>();
        platform::SetCurrentClipboard(c);
        return c;
    }();
    clipboard->SetHtml(std::string(reinterpret_cast<const char*>(data), size));
    WordConverter converter;
    PasteWordEvent(converter);
    if (size <= 4096) {
        WordConverter fast;
        ReferenceConverter literal;
        fast.GetWord();
        literal.GetWord();
        if (fast.Text() != literal.Text() || fast.Images().size() != literal.Images().size()) {
            std::abort();
        }
    }
    return 0;
}
