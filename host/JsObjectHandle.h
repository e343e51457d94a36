// A page object held by the core, in the native host: the page-world script keeps the object
// under an id; a call is a "call" message naming that id, and the last copy of the handle
// released sends "release" so the extension drops its reference. The extension may release
// an object first (its frame went away): the handle is then disowned and sends nothing more.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "host/MessageWriter.h"
#include "script/ScriptObject.h"

namespace host {

class JsObjectHandle : public script::ScriptObject {
  public:
    JsObjectHandle(int64_t id, std::shared_ptr<MessageWriter> writer);
    ~JsObjectHandle() override;
    JsObjectHandle(const JsObjectHandle&) = delete;
    JsObjectHandle& operator=(const JsObjectHandle&) = delete;

    // Sends the call; the page runs it later and its result is dropped. False once disowned
    // or when the browser stopped reading.
    bool Call(const std::vector<script::ScriptValue>& arguments) override;
    void Disown() { disowned_.store(true); }
    int64_t id() const { return id_; }

  private:
    const int64_t id_;
    std::shared_ptr<MessageWriter> writer_;
    std::atomic<bool> disowned_{false};
};

}  // namespace host
