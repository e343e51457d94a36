// The one seam between the extension's JSON values and the core's script values.
//   null, true/false, strings: as they are;
//   a number: Int32 when it is integral and within 32 bits, else Double;
//   {"$object":K}: the page object the page-world script registered under K;
//   {"$void":true} or an absent value: undefined.
// Anything else (arrays, other objects) is undefined. Results going out: undefined is left
// out, a string list becomes an array, strings are made well-formed UTF-8.
#pragma once

#include <json/value.h>

#include <cstdint>
#include <functional>
#include <string>

#include "script/ScriptValue.h"

namespace host {

// The handle of page object K; null when K cannot be used.
typedef std::function<script::ObjectHandle(int64_t id)> ObjectLookup;

script::ScriptValue FromJson(const Json::Value& value, const ObjectLookup& objects);
// False for undefined (the member is then left out of the message).
bool ToJson(const script::ScriptValue& value, Json::Value& out);
// Ill-formed sequences replaced by U+FFFD, so the browser accepts the message.
std::string WellFormedUtf8(const std::string& bytes);
// A page object id: a whole number from 0 to 2^53.
bool ReadObjectId(const Json::Value& value, int64_t& id);

}  // namespace host
