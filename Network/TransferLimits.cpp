#include "Network/TransferLimits.h"

#include <mutex>

namespace {

std::mutex g_mutex;

TransferLimits& Current() {
    static TransferLimits limits;
    return limits;
}

}  // namespace

TransferLimits GetTransferLimits() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return Current();
}

void SetTransferLimits(const TransferLimits& limits) {
    std::lock_guard<std::mutex> lock(g_mutex);
    Current() = limits;
}
