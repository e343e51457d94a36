#include "core/PageInstances.h"

#include "core/PageInstance.h"
#include "threading/LiveList.h"

namespace PageInstances {
namespace {

LiveList<PageInstance>& Live() {
    static LiveList<PageInstance> live;
    return live;
}

void* SerialToData(uint64_t serial) {
    return reinterpret_cast<void*>(static_cast<uintptr_t>(serial));
}

void DeliveryEntry(void* data) {
    // Page thread. The serial, not a pointer, travels through the binding, so a delivery
    // posted for an instance destroyed in the meantime finds nothing and does nothing.
    if (!data) return;
    PageInstance* instance = Live().Find(static_cast<uint64_t>(reinterpret_cast<uintptr_t>(data)));
    if (instance) instance->DeliverEvents();
}

void Post(bool toCurrent, uint64_t serial, std::string text) {
    boost::shared_ptr<MsgQueue> queue;
    {
        auto lock = Live().Lock();
        PageInstance* instance = toCurrent ? Live().CurrentLocked() : Live().FindLocked(serial);
        if (!instance) return;
        serial = instance->serial();
        queue = instance->eventQueue();
    }
    // The registry lock is not held while the queue's lock is taken: a delivery holds the
    // queue's lock while the page runs, and the page may destroy an instance.
    queue->Push(std::move(text));
    // Under the lock, so that the instance (and the page thread it names) stays alive.
    auto lock = Live().Lock();
    PageInstance* instance = Live().FindLocked(serial);
    if (instance) instance->pageThread().PostCall(&DeliveryEntry, SerialToData(serial));
}

class CurrentSink : public script::EventSink {
  public:
    void PostEvent(std::string text) override { Post(true, 0, std::move(text)); }
};

}  // namespace

uint64_t Add(PageInstance* instance) {
    return Live().Add(instance);
}

void Remove(PageInstance* instance) {
    Live().Remove(instance);
}

void PostEvent(uint64_t serial, std::string text) {
    Post(false, serial, std::move(text));
}

script::EventSink& CurrentPageEvents() {
    static CurrentSink sink;
    return sink;
}

}  // namespace PageInstances
