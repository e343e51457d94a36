#include "config/ConfigDocument.h"

#include <json/reader.h>

#include <cmath>
#include <limits>
#include <memory>

#include "Biz/Log.h"
#include "config/AppConfig.h"
#include "util/Numbers.h"

namespace config {
namespace {

const Json::Value& Member(const Json::Value& object, const char* key) {
    static const Json::Value null;
    if (!object.isObject()) return null;
    const Json::Value* found = object.find(key, key + std::char_traits<char>::length(key));
    return found ? *found : null;
}

bool IsPresent(const Json::Value& object, const char* key) {
    return object.isObject() && object.isMember(key);
}

bool ValueToString(const Json::Value& v, std::string& out, std::string& error) {
    switch (v.type()) {
        case Json::nullValue:
            out.clear();
            return true;
        case Json::stringValue: {
            const char* begin = nullptr;
            const char* end = nullptr;
            v.getString(&begin, &end);
            out = begin ? std::string(begin, end) : std::string();
            return true;
        }
        case Json::booleanValue:
            out = v.asBool() ? "true" : "false";
            return true;
        default:
            error = "Type is not convertible to string";
            return false;
    }
}

bool ValueToBool(const Json::Value& v) {
    switch (v.type()) {
        case Json::booleanValue:
            return v.asBool();
        case Json::intValue:
            return v.asLargestInt() != 0;
        case Json::uintValue:
            return v.asLargestUInt() != 0;
        case Json::realValue:
            return v.asDouble() != 0.0;
        case Json::stringValue:
            return !v.asString().empty();  // "false" is true: a non-empty string
        case Json::arrayValue:
        case Json::objectValue:
            return v.size() != 0;
        default:
            return false;
    }
}

bool ValueToInt(const Json::Value& v, int32_t& out, std::string& error) {
    switch (v.type()) {
        case Json::nullValue:
            out = 0;
            return true;
        case Json::booleanValue:
            out = v.asBool() ? 1 : 0;
            return true;
        case Json::intValue: {
            const Json::LargestInt i = v.asLargestInt();
            if (i < std::numeric_limits<int32_t>::min() ||
                i > std::numeric_limits<int32_t>::max()) {
                error = "integer out of signed integer range";
                return false;
            }
            out = static_cast<int32_t>(i);
            return true;
        }
        case Json::uintValue: {
            const Json::LargestUInt u = v.asLargestUInt();
            if (u >= static_cast<Json::LargestUInt>(std::numeric_limits<int32_t>::max())) {
                error = "integer out of signed integer range";
                return false;
            }
            out = static_cast<int32_t>(u);
            return true;
        }
        case Json::realValue: {
            const double d = v.asDouble();
            if (!(d >= -2147483648.0 && d <= 2147483647.0)) {
                error = "Real out of signed integer range";
                return false;
            }
            out = static_cast<int32_t>(std::trunc(d));
            return true;
        }
        default:
            error = "Type is not convertible to int";
            return false;
    }
}

}  // namespace

bool ParseDocument(const std::string& text, Json::Value& root) {
    Json::CharReaderBuilder builder;
    builder["collectComments"] = true;
    builder["allowComments"] = true;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::string errors;
    Json::Value parsed;
    if (!reader->parse(text.data(), text.data() + text.size(), &parsed, &errors)) return false;
    if (!parsed.isObject()) return false;
    root.swap(parsed);
    return true;
}

bool ReadString(const Json::Value& object, const char* key, const std::string& fallback,
                std::string& out, std::string& error) {
    if (!IsPresent(object, key)) {
        out = fallback;
        return true;
    }
    return ValueToString(Member(object, key), out, error);
}

bool ReadBool(const Json::Value& object, const char* key, bool fallback, bool& out) {
    out = IsPresent(object, key) ? ValueToBool(Member(object, key)) : fallback;
    return true;
}

bool ReadInt(const Json::Value& object, const char* key, int32_t fallback, int32_t& out,
             std::string& error) {
    if (!IsPresent(object, key)) {
        out = fallback;
        return true;
    }
    return ValueToInt(Member(object, key), out, error);
}

bool ReadDecimalText(const Json::Value& object, const char* key, const std::string& fallback,
                     int32_t& out, std::string& error) {
    std::string text;
    if (!ReadString(object, key, fallback, text, error)) return false;
    out = util::StringToInt(text);
    return true;
}

bool AddFields(const Json::Value& fields, FormFieldMap& target, std::string& error) {
    if (fields.isNull()) return true;
    if (!fields.isObject()) {
        error = "\"fields\" is not an object";
        return false;
    }
    for (const std::string& name : fields.getMemberNames()) {  // byte order of the names
        std::string value;
        if (!ValueToString(Member(fields, name.c_str()), value, error)) return false;
        target.insert(std::make_pair(name, value));  // an existing name keeps its value
    }
    return true;
}

bool ReadInitConfig(const Json::Value& config, InitConfig& out, std::string& error) {
    if (!config.isNull() && !config.isObject()) {
        error = "\"config\" is not an object";
        return false;
    }
    InitConfig read;
    if (!ReadString(config, "PostUrl", "", read.postUrl, error) ||
        !ReadBool(config, "Debug", false, read.debug) ||
        !ReadString(config, "LogFile", "", read.logFile, error) ||
        !ReadString(config, "Session", "", read.session, error))
        return false;
    out = read;
    return true;
}

bool ReadUploaderConfig(const Json::Value& config, UploaderConfig& out, std::string& error) {
    if (!config.isNull() && !config.isObject()) {
        error = "\"config\" is not an object";
        return false;
    }
    UploaderConfig read;
    if (!ReadString(config, "PostUrl", "", read.postUrl, error) ||
        !ReadString(config, "pathLoc", "", read.pathLoc, error) ||
        !ReadInt(config, "idLoc", 0, read.idLoc, error) ||
        !ReadBool(config, "Debug", false, read.debug) ||
        !ReadString(config, "LogFile", "", read.logFile, error) ||
        !ReadString(config, "Cookie", "", read.cookie, error) ||
        !ReadDecimalText(config, "Width", "0", read.width, error) ||
        !ReadDecimalText(config, "Height", "0", read.height, error) ||
        !ReadDecimalText(config, "ThumbWidth", "0", read.thumbWidth, error) ||
        !ReadDecimalText(config, "ThumbHeight", "0", read.thumbHeight, error) ||
        !ReadString(config, "EncodeType", "", read.encodeType, error) ||
        !ReadString(config, "ImageType", "", read.imageType, error) ||
        !ReadString(config, "JpgQuality", "100", read.jpgQuality, error))
        return false;
    out = read;
    return true;
}

bool ApplyInitDocument(const std::string& text, std::string& error) {
    if (text.empty()) return true;
    Json::Value root;
    if (!ParseDocument(text, root)) {
        error = "not a JSON object";
        return false;
    }
    InitConfig config;
    if (!ReadInitConfig(Member(root, "config"), config, error)) return false;
    AppConfig& app = AppConfig::Instance();
    if (!config.postUrl.empty()) app.postUrl = config.postUrl;
    if (!config.logFile.empty()) app.logFile = config.logFile;
    if (!config.session.empty()) app.session = config.session;
    Log::Instance().Start(config.debug, config.logFile);
    return AddFields(Member(root, "fields"), *app.fields, error);
}

}  // namespace config
