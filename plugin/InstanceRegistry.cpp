#include "plugin/InstanceRegistry.h"

#include <mutex>
#include <vector>

#include "plugin/BrowserFuncs.h"
#include "plugin/CPlugin.h"

namespace InstanceRegistry {
namespace {

struct Entry {
    uint64_t serial;
    CPlugin* instance;
};

std::mutex g_mutex;
std::vector<Entry> g_live;  // in construction order; the last one is current
uint64_t g_nextSerial = 1;

CPlugin* FindLocked(uint64_t serial) {
    for (const Entry& e : g_live)
        if (e.serial == serial) return e.instance;
    return nullptr;
}

void DeliveryEntry(void* userData) {
    // Main thread. The serial, not a pointer, travels through the browser, so a delivery
    // scheduled for an instance destroyed in the meantime finds nothing and does nothing.
    if (!userData) return;
    CPlugin* instance = FindLive(static_cast<uint64_t>(reinterpret_cast<uintptr_t>(userData)));
    if (instance) instance->DeliverEvents();
}

}  // namespace

uint64_t Add(CPlugin* instance) {
    std::lock_guard<std::mutex> lock(g_mutex);
    const uint64_t serial = g_nextSerial++;
    g_live.push_back(Entry{serial, instance});
    return serial;
}

void Remove(CPlugin* instance) {
    std::lock_guard<std::mutex> lock(g_mutex);
    for (auto it = g_live.begin(); it != g_live.end(); ++it) {
        if (it->instance == instance) {
            g_live.erase(it);
            return;
        }
    }
}

CPlugin* Current() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_live.empty() ? nullptr : g_live.back().instance;
}

CPlugin* FindLive(uint64_t serial) {
    std::lock_guard<std::mutex> lock(g_mutex);
    return FindLocked(serial);
}

namespace {

void Post(bool toCurrent, uint64_t serial, const std::string& text) {
    boost::shared_ptr<MsgQueue> queue;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        CPlugin* instance =
            toCurrent ? (g_live.empty() ? nullptr : g_live.back().instance) : FindLocked(serial);
        if (!instance) return;
        serial = instance->serial();
        queue = instance->eventQueue();
    }
    // The registry lock is not held while the queue's lock is taken: a delivery holds the
    // queue's lock while the page runs, and the page may destroy an instance.
    queue->Push(text);
    std::lock_guard<std::mutex> lock(g_mutex);
    CPlugin* instance = FindLocked(serial);
    if (instance)
        NPN_PluginThreadAsyncCall(instance->npp(), &DeliveryEntry,
                                  reinterpret_cast<void*>(static_cast<uintptr_t>(serial)));
}

}  // namespace

void PostEvent(uint64_t serial, const std::string& text) {
    Post(false, serial, text);
}

void PostEventToCurrent(const std::string& text) {
    Post(true, 0, text);
}

}  // namespace InstanceRegistry
