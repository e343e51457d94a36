// Conversions between script values and the plug-in's own values. Main thread only; every
// string handed to the browser is allocated with NPN_MemAlloc so that the browser frees it.
#pragma once

#include <cstdint>
#include <list>
#include <string>

#include "plugin/npapi.h"

// Int32 as is, Double truncated toward zero (saturating), String like atoi, anything else 0.
int32_t ToInt(const NPVariant* value);
// The string's UTF-8 bytes; empty for a value that is not a string.
std::string ToStdString(const NPVariant* value);
// The object, retained once for the caller; null for a value that is not an object.
NPObject* ToObject(const NPVariant* value);
// The bool a variant holds: Bool as is, numbers when non-zero, anything else false.
bool ToBool(const NPVariant* value);

// The text up to its first zero byte as a string result; the result stays void when the
// browser cannot allocate.
void SetStringResult(const std::string& text, NPVariant* result);
void SetIntAsStringResult(int32_t value, NPVariant* result);
void SetBoolResult(bool value, NPVariant* result);
// A zero-filled copy of the text with a terminating zero, from NPN_MemAlloc; null on failure.
char* AllocScriptString(const std::string& text);

// A script array of the strings (ANSI code page, converted to UTF-8), built through the
// window's "Array" and the array's "push". The list is empty afterwards. Null when the list is
// empty or the browser cannot make the array.
NPObject* MakeScriptArray(NPP npp, NPObject* window, std::list<std::string>& ansiStrings);
