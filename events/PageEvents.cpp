#include "events/PageEvents.h"

#include <new>

#include "Biz/Log.h"
#include "Office/LocalPath.h"
#include "events/EventText.h"
#include "platform/kernel/Text.h"
#include "util/Numbers.h"

const char kPasteImageEventText[] = "{\"name\":\"Parser_PasteImage\"}";

namespace {

const char* PasteEventName(bool excel) {
    return excel ? "Parser_PasteExcel" : "Parser_PasteWord";
}

Json::Value EmptyConversion(bool excel) {
    Json::Value event(Json::objectValue);
    event["name"] = PasteEventName(excel);
    event["word"] = "";
    return event;
}

Json::Value Describe(const WordConverter& converter, bool excel) {
    Json::Value event(Json::objectValue);
    event["name"] = PasteEventName(excel);
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

Json::Value Named(const char* name) {
    Json::Value event(Json::objectValue);
    event["name"] = name;
    return event;
}

Json::Value ForEntry(const char* name, int32_t id) {
    Json::Value event = Named(name);
    event["id"] = id;
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
        return EmptyConversion(excel);
    }
}

void PostPasteWordEvent(WordConverter& converter, script::EventSink& sink) {
    const Json::Value event = PasteWordEvent(converter);
    try {
        sink.PostEvent(WriteEventText(event));
    } catch (const std::bad_alloc&) {
        // No room for the event text: the event of an empty conversion.
        sink.PostEvent(
            WriteEventText(EmptyConversion(event["name"].asString() == "Parser_PasteExcel")));
    }
}

std::string PasteFilesEventText(const std::vector<PastedFile>& files) {
    Json::Value event = Named("Parser_PasteFiles");
    for (const PastedFile& file : files) {
        Json::Value img(Json::objectValue);
        img["src"] = file.src;
        img["name"] = file.name;
        img["ext"] = file.ext;
        event["imgs"].append(img);
    }
    return WriteEventText(event);
}

std::string PostCompleteEventText(const std::string& response) {
    Json::Value event = Named("Parser_PostComplete");
    event["value"] = response;
    return WriteEventText(event);
}

std::string PostErrorEventText(unsigned int code) {
    Json::Value event = Named("Parser_PostError");
    event["value"] = Json::UInt(code);
    return WriteEventText(event);
}

std::string PostProcessEventText(const std::string& timeLeft, int32_t posted,
                                 const std::string& percent, int32_t speed) {
    Json::Value event = Named("Parser_PostProcess");
    event["time"] = timeLeft;
    event["len"] = util::IntToString(posted);
    event["percent"] = percent;
    event["speed"] = util::IntToString(speed);
    return WriteEventText(event);
}

std::string FilePostCompleteEventText(int32_t id, const std::string& response) {
    Json::Value event = ForEntry("File_PostComplete", id);
    event["value"] = util::NormalizeUtf8(response);
    return WriteEventText(event);
}

std::string FilePostErrorEventText(int32_t id, unsigned int code) {
    Json::Value event = ForEntry("File_PostError", id);
    event["value"] = static_cast<Json::UInt>(code);
    return WriteEventText(event);
}

std::string FilePostProcessEventText(int32_t id, int32_t posted, const std::string& percent,
                                     int32_t speed, const std::string& timeLeft) {
    Json::Value event = ForEntry("File_PostProcess", id);
    event["len"] = util::IntToString(posted);
    event["percent"] = percent;
    event["speed"] = util::IntToString(speed);
    event["time"] = timeLeft;
    return WriteEventText(event);
}

std::string FireDownErrorEventText(int32_t id, unsigned int code) {
    Json::Value event = ForEntry("Fire_DownError", id);
    // A signed value: the downloader's codes are small, so the text is the same either way.
    event["value"] = static_cast<Json::Int>(code);
    return WriteEventText(event);
}
