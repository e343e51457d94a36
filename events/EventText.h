// The text of an event to the page: the compact JSON form of one object, members in ascending
// byte order of their keys, bytes from 0x80 up copied unescaped (the texts are UTF-8), quote
// and backslash escaped, \b \f \n \r \t for those control bytes, \u with four upper-case hex
// digits for the other bytes below 0x20, and a line feed after the closing brace.
#pragma once

#include <json/value.h>

#include <string>

std::string WriteEventText(const Json::Value& event);
// The same form without the line feed: the messages of the browser bridge.
std::string WriteCompactJson(const Json::Value& value);

// Appends the quoted, escaped form of the bytes, as WriteEventText writes a string. Runs of
// bytes that need no escape are copied whole.
void AppendEventString(const char* bytes, size_t length, std::string& out);
inline void AppendEventString(const std::string& text, std::string& out) {
    AppendEventString(text.data(), text.size(), out);
}
