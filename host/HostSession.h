// One native host session: the messages of one extension port, for one page instance.
//   extension -> host: hello (first, with the page's origin as the browser gave it), call
//   (with whether it came within a user gesture), get, set, release; host -> extension:
//   refused (the policy does not admit the page), result, error, call (a page object),
//   release.
// The protocol is described in docs/bridge-protocol.md.
#pragma once

#include <json/value.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "host/HostLoop.h"
#include "host/JsObjectHandle.h"
#include "host/MessageWriter.h"

class PageInstance;

namespace host {

class HostSession {
  public:
    HostSession(HostLoop& loop, std::shared_ptr<MessageWriter> writer);
    ~HostSession();
    HostSession(const HostSession&) = delete;
    HostSession& operator=(const HostSession&) = delete;

    // One message's JSON text. False when the stream cannot go on (not JSON, not a message
    // object, or no hello first); a well-formed request that fails is answered with an error.
    bool Handle(const std::string& text);
    // Destroys the page instance: its uploads and downloads stop and their workers return.
    void End();
    const std::string& origin() const { return origin_; }

  private:
    bool Hello(const Json::Value& message);
    void Request(const std::string& type, const Json::Value& message);
    void Release(const Json::Value& message);
    // `console`: a refusal the extension also shows in the page's console.
    void SendError(const Json::Value& id, const std::string& text, bool console = false);
    void SendResult(const Json::Value& id, const script::ScriptValue& value);
    script::ObjectHandle Object(int64_t id);

    HostLoop& loop_;
    std::shared_ptr<MessageWriter> writer_;
    std::unique_ptr<PageInstance> page_;
    std::string origin_;
    // Page objects by id: one handle per id, however often the page passes it.
    std::map<int64_t, std::weak_ptr<JsObjectHandle>> objects_;
    size_t prunedSize_ = 0;
};

}  // namespace host
