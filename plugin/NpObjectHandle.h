// A page object held by the core, in the plug-in: one browser reference for the handle's life,
// calls through NPN_InvokeDefault with the arguments converted at the binding's seam.
#pragma once

#include "plugin/npapi.h"
#include "script/ScriptObject.h"

class NpObjectHandle : public script::ScriptObject {
  public:
    // Retains the object.
    NpObjectHandle(NPP npp, NPObject* object);
    ~NpObjectHandle() override;
    NpObjectHandle(const NpObjectHandle&) = delete;
    NpObjectHandle& operator=(const NpObjectHandle&) = delete;

    bool Call(const std::vector<script::ScriptValue>& arguments) override;
    NPObject* object() const { return object_; }

  private:
    NPP npp_;
    NPObject* object_;
};
