#include <cstring>
#include <sstream>

#include "HostRegistry.h"
#include "TestHost.h"

namespace testhost {

Value::Value(bool b) : type_(Type::kBool), bool_(b) {}
Value::Value(int32_t i) : type_(Type::kInt), int_(i) {}
Value::Value(double d) : type_(Type::kDouble), double_(d) {}
Value::Value(const char* s) : type_(Type::kString), string_(s != nullptr ? s : "") {}
Value::Value(std::string s) : type_(Type::kString), string_(std::move(s)) {}
Value::Value(NPObject* object)
    : type_(object != nullptr ? Type::kObject : Type::kNull),
      object_(detail::RetainObject(object)) {}
Value::Value(const PageFunction& function) : Value(function.object()) {}

Value Value::Null() {
    Value value;
    value.type_ = Type::kNull;
    return value;
}

Value Value::CopyOf(const NPVariant& variant) {
    switch (variant.type) {
        case NPVariantType_Void:
            return Value();
        case NPVariantType_Null:
            return Null();
        case NPVariantType_Bool:
            return Value(variant.value.boolValue);
        case NPVariantType_Int32:
            return Value(variant.value.intValue);
        case NPVariantType_Double:
            return Value(variant.value.doubleValue);
        case NPVariantType_String: {
            const NPString& s = variant.value.stringValue;
            if (s.UTF8Characters == nullptr) return Value(std::string());
            return Value(std::string(s.UTF8Characters, s.UTF8Length));
        }
        case NPVariantType_Object:
            return Value(variant.value.objectValue);
    }
    detail::NoteViolation("a variant of unknown type " + std::to_string(variant.type));
    return Value();
}

Value::Value(const Value& other)
    : type_(other.type_),
      bool_(other.bool_),
      int_(other.int_),
      double_(other.double_),
      string_(other.string_),
      object_(detail::RetainObject(other.object_)) {}

Value::Value(Value&& other) noexcept {
    Swap(other);
}

Value& Value::operator=(Value other) noexcept {
    Swap(other);
    return *this;
}

Value::~Value() {
    detail::ReleaseObject(object_);
}

void Value::Swap(Value& other) noexcept {
    std::swap(type_, other.type_);
    std::swap(bool_, other.bool_);
    std::swap(int_, other.int_);
    std::swap(double_, other.double_);
    std::swap(string_, other.string_);
    std::swap(object_, other.object_);
}

const std::string& Value::AsString() const {
    static const std::string empty;
    return type_ == Type::kString ? string_ : empty;
}

NPVariant Value::View() const {
    NPVariant variant;
    switch (type_) {
        case Type::kVoid:
            VOID_TO_NPVARIANT(variant);
            break;
        case Type::kNull:
            NULL_TO_NPVARIANT(variant);
            break;
        case Type::kBool:
            BOOLEAN_TO_NPVARIANT(bool_, variant);
            break;
        case Type::kInt:
            INT32_TO_NPVARIANT(int_, variant);
            break;
        case Type::kDouble:
            DOUBLE_TO_NPVARIANT(double_, variant);
            break;
        case Type::kString:
            STRINGN_TO_NPVARIANT(string_.data(), static_cast<uint32_t>(string_.size()), variant);
            break;
        case Type::kObject:
            OBJECT_TO_NPVARIANT(object_, variant);
            break;
    }
    return variant;
}

NPVariant Value::ToOwnedVariant() const {
    NPVariant variant = View();
    if (type_ == Type::kString) {
        char* copy = static_cast<char*>(detail::MemAlloc(static_cast<uint32_t>(string_.size())));
        if (copy == nullptr) {
            VOID_TO_NPVARIANT(variant);
            return variant;
        }
        if (!string_.empty()) std::memcpy(copy, string_.data(), string_.size());
        STRINGN_TO_NPVARIANT(copy, static_cast<uint32_t>(string_.size()), variant);
    } else if (type_ == Type::kObject) {
        detail::RetainObject(object_);
    }
    return variant;
}

std::string Value::Describe() const {
    std::ostringstream out;
    switch (type_) {
        case Type::kVoid:
            out << "void";
            break;
        case Type::kNull:
            out << "null";
            break;
        case Type::kBool:
            out << (bool_ ? "true" : "false");
            break;
        case Type::kInt:
            out << int_;
            break;
        case Type::kDouble:
            out << double_;
            break;
        case Type::kString:
            out << '"' << string_ << '"';
            break;
        case Type::kObject:
            out << "object " << static_cast<const void*>(object_);
            break;
    }
    return out.str();
}

bool Value::operator==(const Value& other) const {
    if (type_ != other.type_) return false;
    switch (type_) {
        case Type::kVoid:
        case Type::kNull:
            return true;
        case Type::kBool:
            return bool_ == other.bool_;
        case Type::kInt:
            return int_ == other.int_;
        case Type::kDouble:
            return double_ == other.double_;
        case Type::kString:
            return string_ == other.string_;
        case Type::kObject:
            return object_ == other.object_;
    }
    return false;
}

std::ostream& operator<<(std::ostream& out, const Value& value) {
    return out << value.Describe();
}

}  // namespace testhost
