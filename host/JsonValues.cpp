#include "host/JsonValues.h"

#include <cmath>
#include <limits>

#include "host/JsObjectHandle.h"
#include "util/Utf8.h"

namespace host {
namespace {

constexpr double kMaxObjectId = 9007199254740992.0;  // 2^53

bool IsWellFormed(const std::string& s) {
    size_t i = 0;
    const size_t n = s.size();
    while (i < n) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        size_t length;
        unsigned char low = 0x80, high = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            if (c == 0xE0) low = 0xA0;
            if (c == 0xED) high = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            if (c == 0xF0) low = 0x90;
            if (c == 0xF4) high = 0x8F;
        } else {
            return false;
        }
        if (n - i < length) return false;
        const unsigned char second = static_cast<unsigned char>(s[i + 1]);
        if (second < low || second > high) return false;
        for (size_t k = 2; k < length; ++k) {
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        }
        i += length;
    }
    return true;
}

}  // namespace

std::string WellFormedUtf8(const std::string& bytes) {
    if (IsWellFormed(bytes)) return bytes;
    return util::EncodeUtf8(util::DecodeUtf8(bytes));
}

bool ReadObjectId(const Json::Value& value, int64_t& id) {
    if (!value.isNumeric()) return false;
    const double d = value.asDouble();
    if (!(d >= 0 && d <= kMaxObjectId) || std::floor(d) != d) return false;
    id = static_cast<int64_t>(d);
    return true;
}

script::ScriptValue FromJson(const Json::Value& value, const ObjectLookup& objects) {
    switch (value.type()) {
        case Json::nullValue:
            return script::ScriptValue::Null();
        case Json::booleanValue:
            return script::ScriptValue::Bool(value.asBool());
        case Json::intValue:
        case Json::uintValue:
        case Json::realValue: {
            if (value.isInt()) return script::ScriptValue::Int32(value.asInt());
            return script::ScriptValue::Double(value.asDouble());
        }
        case Json::stringValue:
            return script::ScriptValue::String(value.asString());
        case Json::objectValue: {
            int64_t id = 0;
            if (value.size() == 1 && value.isMember("$object") &&
                ReadObjectId(value["$object"], id)) {
                script::ObjectHandle handle = objects ? objects(id) : nullptr;
                if (handle) return script::ScriptValue::Object(std::move(handle));
            }
            return script::ScriptValue();
        }
        default:
            return script::ScriptValue();
    }
}

bool ToJson(const script::ScriptValue& value, Json::Value& out) {
    switch (value.type()) {
        case script::ScriptValue::kVoid:
            return false;
        case script::ScriptValue::kNull:
            out = Json::Value(Json::nullValue);
            return true;
        case script::ScriptValue::kBool:
            out = Json::Value(value.boolValue());
            return true;
        case script::ScriptValue::kInt32:
            out = Json::Value(value.intValue());
            return true;
        case script::ScriptValue::kDouble:
            // JSON has no infinities or NaN; the page gets null as JSON.stringify gives.
            if (!std::isfinite(value.doubleValue())) {
                out = Json::Value(Json::nullValue);
            } else {
                out = Json::Value(value.doubleValue());
            }
            return true;
        case script::ScriptValue::kString:
            out = Json::Value(WellFormedUtf8(value.text()));
            return true;
        case script::ScriptValue::kObject: {
            const JsObjectHandle* own = dynamic_cast<const JsObjectHandle*>(value.object().get());
            if (!own) {
                out = Json::Value(Json::nullValue);
                return true;
            }
            out = Json::Value(Json::objectValue);
            out["$object"] = Json::Value(static_cast<Json::Int64>(own->id()));
            return true;
        }
        case script::ScriptValue::kStringList:
            out = Json::Value(Json::arrayValue);
            for (const std::string& item : value.list()) out.append(WellFormedUtf8(item));
            return true;
    }
    return false;
}

}  // namespace host
