#include "Network/SpeedCalculater.h"

#include "platform/kernel/Ticks.h"

SpeedCalculater::SpeedCalculater(TickSource ticks) : ticks_(std::move(ticks)) {
    if (!ticks_) ticks_ = [] { return platform::GetTickCount(); };
}

int64_t SpeedCalculater::Update(int64_t byteCount) {
    const uint32_t now = ticks_();
    // Unsigned difference: a wrap of the counter still counts as elapsed time.
    if (static_cast<uint32_t>(now - lastSampleTime_) < 1000) return speed_;
    lastSampleTime_ = now;
    samples_[sampleCount_ % 3] = byteCount - lastByteCount_;
    lastByteCount_ = byteCount;
    sampleCount_ = sampleCount_ == INT32_MAX ? 3 : sampleCount_ + 1;
    const int64_t sum = samples_[0] + samples_[1] + samples_[2];
    speed_ = sum > 0 ? static_cast<int64_t>(static_cast<double>(sum) / 3) : 0;
    return speed_;
}
