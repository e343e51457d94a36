#include "plugin/InstanceRegistry.h"

#include "threading/LiveList.h"

namespace InstanceRegistry {
namespace {

LiveList<CPlugin>& Live() {
    static LiveList<CPlugin> live;
    return live;
}

}  // namespace

uint64_t Add(CPlugin* instance) {
    return Live().Add(instance);
}

void Remove(CPlugin* instance) {
    Live().Remove(instance);
}

CPlugin* Current() {
    return Live().Current();
}

CPlugin* FindLive(uint64_t serial) {
    return Live().Find(serial);
}

}  // namespace InstanceRegistry
