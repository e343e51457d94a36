#include "events/PageEvents.h"

#include <new>

#include "Biz/Log.h"
#include "Office/LocalPath.h"
#include "events/EventText.h"
#include "platform/kernel/LargeBuffer.h"
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

void AppendMember(const char* key, const std::string& value, std::string& out) {
    out.push_back('"');
    out += key;
    out += "\":";
    AppendEventString(value, out);
}

}  // namespace

std::string PasteWordEventText(const WordConverter& converter, bool excel) {
    const std::string& word = converter.Text();
    const ImageTable& images = converter.Images();
    std::string out;
    // The document and every picture's fields, plus room for a few escapes: one allocation
    // in the common case.
    size_t size = word.size() + word.size() / 32 + 64;
    for (const auto& entry : images) {
        const ImageTag& tag = *entry.second;
        size += 2 * tag.src.size() + tag.html.size() + tag.alt.size() + 96;
    }
    platform::ReserveLarge(out, size, word.size());
    // Keys in byte order: "imgs" (absent without pictures), "name", "word"; within a
    // picture "alt", "ext", "height", "html", "name", "src", "width".
    out += "{";
    if (!images.empty()) {
        out += "\"imgs\":[";
        bool first = true;
        for (const auto& entry : images) {
            const ImageTag& tag = *entry.second;
            out += first ? "{" : ",{";
            first = false;
            AppendMember("alt", util::NormalizeUtf8(tag.alt), out);
            out.push_back(',');
            AppendMember("ext", util::NormalizeUtf8(ExtensionOf(tag.src)), out);
            out.push_back(',');
            AppendMember("height", util::NormalizeUtf8(tag.height), out);
            out.push_back(',');
            AppendMember("html", util::NormalizeUtf8(tag.html), out);
            out.push_back(',');
            AppendMember("name", util::NormalizeUtf8(FileNameOf(tag.src)), out);
            out.push_back(',');
            AppendMember("src", util::NormalizeUtf8(tag.src), out);
            out.push_back(',');
            AppendMember("width", util::NormalizeUtf8(tag.width), out);
            out.push_back('}');
        }
        out += "],";
    }
    AppendMember("name", PasteEventName(excel), out);
    out.push_back(',');
    AppendMember("word", word, out);
    out += "}\n";
    return out;
}

Json::Value PasteWordEvent(WordConverter& converter) {
    const bool excel = converter.ConvertClipboard();
    try {
        return Describe(converter, excel);
    } catch (const std::bad_alloc&) {
        // The converted text did not fit a second time: the event of an empty conversion.
        QUILLON_TRACE(Log::kWordConverter, __LINE__, Log::Gbk(u8"粘贴事件内存不足，结果为空"));
        return EmptyConversion(excel);
    }
}

void PostPasteWordEvent(WordConverter& converter, script::EventSink& sink) {
    const bool excel = converter.ConvertClipboard();
    try {
        sink.PostEvent(PasteWordEventText(converter, excel));
    } catch (const std::bad_alloc&) {
        // No room for the event text: the event of an empty conversion.
        QUILLON_TRACE(Log::kWordConverter, __LINE__, Log::Gbk(u8"粘贴事件内存不足，结果为空"));
        sink.PostEvent(WriteEventText(EmptyConversion(excel)));
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
