#include "Office/PasteEvent.h"

#include <new>

#include "Biz/Log.h"
#include "Office/LocalPath.h"
#include "platform/kernel/Text.h"

namespace {

Json::Value Describe(const WordConverter& converter, bool excel) {
    Json::Value event(Json::objectValue);
    event["name"] = excel ? "Parser_PasteExcel" : "Parser_PasteWord";
    event["word"] = converter.Text();
    // Copy the table: the records stay valid whatever the converter does next.
    const ImageTable images = converter.Images();
    for (const auto& entry : images) {
        const ImageTag& tag = *entry.second;
        Json::Value img(Json::objectValue);
        img["html"] = util::NormalizeUtf8(tag.html);
        img["alt"] = util::NormalizeUtf8(tag.alt);
        img["width"] = util::NormalizeUtf8(tag.width);
        img["height"] = util::NormalizeUtf8(tag.height);
        img["src"] = util::NormalizeUtf8(tag.src);
        img["ext"] = util::NormalizeUtf8(ExtensionOf(tag.src));
        img["name"] = util::NormalizeUtf8(FileNameOf(tag.src));
        event["imgs"].append(img);
    }
    return event;
}

}  // namespace

Json::Value PasteWordEvent(WordConverter& converter) {
    const bool excel = converter.IsExcel();
    if (excel) {
        converter.GetExcel();
    } else {
        converter.GetWord();
    }
    try {
        return Describe(converter, excel);
    } catch (const std::bad_alloc&) {
        // The converted text did not fit a second time: the event of an empty conversion.
        QUILLON_TRACE(Log::kWordConverter, __LINE__, Log::Gbk(u8"粘贴事件内存不足，结果为空"));
        Json::Value event(Json::objectValue);
        event["name"] = excel ? "Parser_PasteExcel" : "Parser_PasteWord";
        event["word"] = "";
        return event;
    }
}
