// The module's live plug-in instances. The one constructed last is the current instance:
// every scriptable object dispatches to it and upload entries post their events to it.
// Instances are added and removed on the main thread; events may be posted from any thread.
#pragma once

#include <cstdint>
#include <string>

class CPlugin;

namespace InstanceRegistry {

// Registers a new instance, which becomes current; returns its serial number (never 0).
uint64_t Add(CPlugin* instance);
// Forgets the instance; if it was current, the most recently constructed remaining instance
// becomes current. Waits for posts to it that are under way.
void Remove(CPlugin* instance);
// Main thread.
CPlugin* Current();
CPlugin* FindLive(uint64_t serial);

// Queues the event text on the instance with that serial and schedules its delivery on the
// main thread; does nothing once the instance is gone. Any thread.
void PostEvent(uint64_t serial, const std::string& text);
// The same for the current instance.
void PostEventToCurrent(const std::string& text);

}  // namespace InstanceRegistry
