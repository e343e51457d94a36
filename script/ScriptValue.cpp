#include "script/ScriptValue.h"

#include <cmath>
#include <limits>

#include "util/Numbers.h"

namespace script {

ScriptValue ScriptValue::Null() {
    ScriptValue v;
    v.type_ = kNull;
    return v;
}

ScriptValue ScriptValue::Bool(bool value) {
    ScriptValue v;
    v.type_ = kBool;
    v.bool_ = value;
    return v;
}

ScriptValue ScriptValue::Int32(int32_t value) {
    ScriptValue v;
    v.type_ = kInt32;
    v.int_ = value;
    return v;
}

ScriptValue ScriptValue::Double(double value) {
    ScriptValue v;
    v.type_ = kDouble;
    v.double_ = value;
    return v;
}

ScriptValue ScriptValue::String(std::string utf8) {
    ScriptValue v;
    v.type_ = kString;
    v.text_ = std::move(utf8);
    return v;
}

ScriptValue ScriptValue::SharedString(std::shared_ptr<const std::string> utf8) {
    if (!utf8) return String(std::string());
    ScriptValue v;
    v.type_ = kString;
    v.shared_ = std::move(utf8);
    return v;
}

ScriptValue ScriptValue::Object(ObjectHandle object) {
    if (!object) return Null();
    ScriptValue v;
    v.type_ = kObject;
    v.object_ = std::move(object);
    return v;
}

ScriptValue ScriptValue::StringList(std::vector<std::string> utf8) {
    ScriptValue v;
    v.type_ = kStringList;
    v.list_ = std::move(utf8);
    return v;
}

const ScriptValue& ScriptArgs::operator[](size_t index) const {
    static const ScriptValue kVoid;
    return index < count_ ? values_[index] : kVoid;
}

int32_t ToInt(const ScriptValue& value) {
    switch (value.type()) {
        case ScriptValue::kInt32:
            return value.intValue();
        case ScriptValue::kDouble: {
            const double d = value.doubleValue();
            if (std::isnan(d)) return 0;
            if (d >= 2147483647.0) return std::numeric_limits<int32_t>::max();
            if (d <= -2147483648.0) return std::numeric_limits<int32_t>::min();
            return static_cast<int32_t>(d);  // truncates toward zero
        }
        case ScriptValue::kString:
            return util::StringToInt(value.text());
        default:
            return 0;
    }
}

std::string ToStdString(const ScriptValue& value) {
    return value.IsString() ? value.text() : std::string();
}

ObjectHandle ToObject(const ScriptValue& value) {
    return value.IsObject() ? value.object() : ObjectHandle();
}

bool ToBool(const ScriptValue& value) {
    switch (value.type()) {
        case ScriptValue::kBool:
            return value.boolValue();
        case ScriptValue::kInt32:
            return value.intValue() != 0;
        case ScriptValue::kDouble:
            return value.doubleValue() != 0.0;
        default:
            return false;
    }
}

ScriptValue StringResult(std::string text) {
    const size_t nul = text.find('\0');
    if (nul != std::string::npos) text.resize(nul);
    return ScriptValue::String(std::move(text));
}

ScriptValue IntAsStringResult(int32_t value) {
    return StringResult(util::IntToString(value));
}

ScriptValue BoolResult(bool value) {
    return ScriptValue::Bool(value);
}

}  // namespace script
