// The process's live page instances. The one constructed last is the current instance: upload
// entries post their events to it (CurrentPageEvents), whichever instance created them.
// Instances are added and removed on the page thread; events may be posted from any thread.
#pragma once

#include <cstdint>
#include <string>

#include "script/EventSink.h"

class PageInstance;

namespace PageInstances {

// Registers a new instance, which becomes current; returns its serial number (never 0).
uint64_t Add(PageInstance* instance);
// Forgets the instance; if it was current, the most recently constructed remaining instance
// becomes current. Waits for posts to it that are under way.
void Remove(PageInstance* instance);

// Queues the event text on the instance with that serial and posts its delivery to its page
// thread; does nothing once the instance is gone. Any thread.
void PostEvent(uint64_t serial, std::string text);

// A sink that posts to whichever instance is current when the event is posted.
script::EventSink& CurrentPageEvents();

}  // namespace PageInstances
