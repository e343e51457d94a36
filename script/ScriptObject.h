// A page object the core keeps: the page's event callback, the paster's and the upload
// entries' callbacks and objects. The binding holds the page's reference for as long as the
// handle lives (the last copy released releases it). Calls are made on the page's thread only.
#pragma once

#include <vector>

#include "script/ScriptValue.h"

namespace script {

class ScriptObject {
  public:
    virtual ~ScriptObject() = default;
    // Calls the object as a function with positional arguments; the page's result is dropped.
    // False when the page could not be called. The page may run any member during the call,
    // the destruction of the instance included.
    virtual bool Call(const std::vector<ScriptValue>& arguments) = 0;
};

}  // namespace script
