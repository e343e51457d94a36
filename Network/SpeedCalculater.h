// Turns a growing byte count into bytes per second: at most one sample per second, the speed
// being the mean of the last three samples' byte differences.
#pragma once

#include <cstdint>
#include <functional>

class SpeedCalculater {
  public:
    typedef std::function<uint32_t()> TickSource;

    // `ticks` gives wrapping milliseconds; the system tick counter by default.
    explicit SpeedCalculater(TickSource ticks = TickSource());
    virtual ~SpeedCalculater() = default;

    int64_t Update(int64_t byteCount);

  private:
    TickSource ticks_;
    int32_t sampleCount_ = 0;
    int64_t lastByteCount_ = 0;
    int64_t speed_ = 0;
    int64_t samples_[3] = {0, 0, 0};
    uint32_t lastSampleTime_ = 0;
};
