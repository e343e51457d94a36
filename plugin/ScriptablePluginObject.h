// The object through which the page's script sees the plug-in. Every operation dispatches by
// name into the registries of the current instance.
#pragma once

#include "plugin/npapi.h"

class ScriptablePluginObjectBase : public NPObject {
  public:
    explicit ScriptablePluginObjectBase(NPP npp) : npp_(npp) {
        _class = nullptr;
        referenceCount = 0;
    }
    virtual ~ScriptablePluginObjectBase() = default;

    virtual void Invalidate() {}
    virtual bool HasMethod(NPIdentifier) { return false; }
    virtual bool Invoke(NPIdentifier, const NPVariant*, uint32_t, NPVariant*) { return false; }
    virtual bool InvokeDefault(const NPVariant*, uint32_t, NPVariant*) { return false; }
    virtual bool HasProperty(NPIdentifier) { return false; }
    virtual bool GetProperty(NPIdentifier, NPVariant*) { return false; }
    virtual bool SetProperty(NPIdentifier name, const NPVariant* value);
    virtual bool RemoveProperty(NPIdentifier) { return false; }
    virtual bool Enumerate(NPIdentifier**, uint32_t*) { return false; }
    virtual bool Construct(const NPVariant*, uint32_t, NPVariant*) { return false; }

  protected:
    NPP npp_;
};

class ScriptablePluginObject : public ScriptablePluginObjectBase {
  public:
    explicit ScriptablePluginObject(NPP npp) : ScriptablePluginObjectBase(npp) {}

    bool HasMethod(NPIdentifier name) override;
    bool Invoke(NPIdentifier name, const NPVariant* args, uint32_t argCount,
                NPVariant* result) override;
    bool InvokeDefault(const NPVariant* args, uint32_t argCount, NPVariant* result) override;
    bool HasProperty(NPIdentifier name) override;
    bool GetProperty(NPIdentifier name, NPVariant* result) override;

    // The class record handed to NPN_CreateObject.
    static NPClass* Class();
};
