// A script member bound to its instance. One type serves methods (arguments, result),
// property reads (null, result) and property writes (value, null). Method handlers always
// receive at least kMinScriptArgs arguments: those the page did not pass are void.
#pragma once

#include <boost/function.hpp>
#include <map>

#include "plugin/npapi.h"

typedef boost::function<void(const NPVariant* in, NPVariant* out)> ScriptHandler;
typedef std::map<NPIdentifier, ScriptHandler> ScriptRegistry;

enum { kMinScriptArgs = 8 };
