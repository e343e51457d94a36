// Where event texts to the page go: queued from any thread, delivered in order on the page's
// thread to the page's "StateChanged" callback.
#pragma once

#include <string>

namespace script {

class EventSink {
  public:
    virtual ~EventSink() = default;
    // Takes the text over (callers with a text of their own move it in).
    virtual void PostEvent(std::string text) = 0;
};

}  // namespace script
