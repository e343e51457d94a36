// The version the page reads from the "Version" property, whatever binding carries it.
#pragma once

// "1,4,102,31478".
extern const char kScriptVersion[];
