// The one seam between the browser's values and the core's: NPVariant to script::ScriptValue
// and back. Main thread only; every string handed to the browser is allocated with
// NPN_MemAlloc so that the browser frees it.
#pragma once

#include <cstdint>
#include <list>
#include <string>

#include "plugin/npapi.h"
#include "script/ScriptValue.h"

// The core's value of a browser value. An object becomes a handle that keeps one reference
// to it (calls through it go to `npp`).
script::ScriptValue FromNPVariant(NPP npp, const NPVariant& value);
// The browser value of a core value, written to `out` (void when the browser cannot allocate).
// A string list becomes an array made through the page's window; an object handle gives the
// browser object it holds, retained once for the receiver.
void ToNPVariant(NPP npp, NPObject* window, script::ScriptValue value, NPVariant* out);
// The browser object a handle holds, or null for a handle of another binding.
NPObject* NPObjectOf(const script::ObjectHandle& handle);

// The interface's conversions read from a browser value (script/ScriptValue.h).
int32_t ToInt(const NPVariant* value);
std::string ToStdString(const NPVariant* value);
bool ToBool(const NPVariant* value);
// The object, retained once for the caller; null for a value that is not an object.
NPObject* ToObject(const NPVariant* value);

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
// The same for strings already in UTF-8.
NPObject* MakeUtf8ScriptArray(NPP npp, NPObject* window, const std::vector<std::string>& utf8);
