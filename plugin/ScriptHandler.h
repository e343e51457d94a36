// A member of the interface as the plug-in's scriptable object dispatches it: the core's table
// row, with the NPVariant conversions on the way in and out (plugin/ScriptValues.h).
#pragma once

#include <map>

#include "core/MemberTable.h"
#include "plugin/npapi.h"

class CPlugin;

class ScriptHandler {
  public:
    explicit ScriptHandler(const script::Member& member) : member_(&member) {}

    // A method call; the arguments the page did not pass are void.
    void Invoke(CPlugin& plugin, const NPVariant* args, uint32_t argCount, NPVariant* result) const;
    void Get(CPlugin& plugin, NPVariant* result) const;
    void Set(CPlugin& plugin, const NPVariant& value) const;

  private:
    const script::Member* member_;
};

typedef std::map<NPIdentifier, ScriptHandler> ScriptRegistry;
