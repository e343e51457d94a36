// The stop request an owner shares with the client of a running transfer.
#pragma once

#include <atomic>
#include <memory>

typedef std::shared_ptr<std::atomic<bool>> CancelFlag;

inline CancelFlag MakeCancelFlag() {
    return std::make_shared<std::atomic<bool>>(false);
}
inline bool IsCancelled(const CancelFlag& flag) {
    return flag && flag->load();
}
