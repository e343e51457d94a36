// The module's live plug-in instances. The one constructed last is the current instance:
// every scriptable object dispatches to it. Instances are added and removed on the main thread.
// (Events go through the core's registry of page instances, core/PageInstances.h.)
#pragma once

#include <cstdint>

class CPlugin;

namespace InstanceRegistry {

// Registers a new instance, which becomes current; returns its serial number (never 0).
uint64_t Add(CPlugin* instance);
// Forgets the instance; if it was current, the most recently constructed remaining instance
// becomes current.
void Remove(CPlugin* instance);
// Main thread.
CPlugin* Current();
CPlugin* FindLive(uint64_t serial);

}  // namespace InstanceRegistry
