// The values the page interface exchanges with a page, whatever binding carries them: void,
// null, bool, 32-bit integer, double, UTF-8 string, a page object, and (results only) a list of
// strings the binding turns into a script array. The conversions are the interface's own rules;
// every binding converts its native values to these in one place and back.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace script {

class ScriptObject;
typedef std::shared_ptr<ScriptObject> ObjectHandle;

class ScriptValue {
  public:
    enum Type { kVoid, kNull, kBool, kInt32, kDouble, kString, kObject, kStringList };

    ScriptValue() = default;
    static ScriptValue Null();
    static ScriptValue Bool(bool value);
    static ScriptValue Int32(int32_t value);
    static ScriptValue Double(double value);
    static ScriptValue String(std::string utf8);
    // A string kept where it is (a large event text), not copied.
    static ScriptValue SharedString(std::shared_ptr<const std::string> utf8);
    static ScriptValue Object(ObjectHandle object);
    static ScriptValue StringList(std::vector<std::string> utf8);

    Type type() const { return type_; }
    bool IsVoid() const { return type_ == kVoid; }
    bool IsNull() const { return type_ == kNull; }
    bool IsString() const { return type_ == kString; }
    bool IsDouble() const { return type_ == kDouble; }
    bool IsObject() const { return type_ == kObject; }

    bool boolValue() const { return bool_; }
    int32_t intValue() const { return int_; }
    double doubleValue() const { return double_; }
    // The string's bytes (string values), else empty.
    const std::string& text() const { return shared_ ? *shared_ : text_; }
    // Hands the string over (the value keeps an empty one; a shared string is copied).
    std::string TakeText() { return shared_ ? *shared_ : std::move(text_); }
    const ObjectHandle& object() const { return object_; }
    const std::vector<std::string>& list() const { return list_; }

  private:
    Type type_ = kVoid;
    bool bool_ = false;
    int32_t int_ = 0;
    double double_ = 0;
    std::string text_;
    std::shared_ptr<const std::string> shared_;
    ObjectHandle object_;
    std::vector<std::string> list_;
};

// The arguments of a call, in order. Reading past the last one gives void.
class ScriptArgs {
  public:
    ScriptArgs() = default;
    ScriptArgs(const ScriptValue* values, size_t count) : values_(values), count_(count) {}
    explicit ScriptArgs(const std::vector<ScriptValue>& values)
        : values_(values.data()), count_(values.size()) {}
    const ScriptValue& operator[](size_t index) const;
    size_t size() const { return count_; }

  private:
    const ScriptValue* values_ = nullptr;
    size_t count_ = 0;
};

// Int32 as is, Double truncated toward zero (saturating, NaN gives 0), String like atoi,
// anything else 0.
int32_t ToInt(const ScriptValue& value);
// The string's UTF-8 bytes; empty for a value that is not a string.
std::string ToStdString(const ScriptValue& value);
// The page object; null for a value that is not one.
ObjectHandle ToObject(const ScriptValue& value);
// Bool as is, numbers when non-zero, anything else false.
bool ToBool(const ScriptValue& value);

// Results. A string result is the text up to its first zero byte (a page string ends there).
ScriptValue StringResult(std::string text);
// An integer result is its decimal text.
ScriptValue IntAsStringResult(int32_t value);
ScriptValue BoolResult(bool value);

}  // namespace script
