// Watches one request against the low-speed rule and a deadline (TransferLimits). It is fed
// the bytes that move and asked, whenever the transport waits, whether the request must end.
// Used from the request's calling thread only.
#pragma once

#include <cstdint>

#include "Network/TransferFailure.h"
#include "Network/TransferLimits.h"

namespace platform {
class HttpSession;
}

class TransferGuard {
  public:
    explicit TransferGuard(const TransferLimits& limits);

    void Count(int64_t bytes);
    // From now, the request must end within `ms` milliseconds (0: no deadline).
    void SetDeadline(int64_t ms);
    // True once the rate stayed below the minimum for a window or the deadline passed; the
    // reason stays in Failure().
    bool Expired();
    const TransferFailure& Failure() const { return failure_; }
    // Why a request on `session` failed: this guard's own reason when it ended the request,
    // else the transport's.
    TransferFailure SessionFailure(platform::HttpSession& session) const;

  private:
    static const int kBuckets = 16;
    void Advance(int64_t now);

    int64_t windowMs_;
    int64_t bytesPerSecond_;
    int64_t bucketMs_;
    int64_t started_;
    int64_t deadline_ = 0;
    int64_t deadlineMs_ = 0;
    // Bytes per slice of window / kBuckets, a ring indexed by the slice number.
    int64_t buckets_[kBuckets + 1] = {};
    int64_t slice_ = 0;
    TransferFailure failure_;
};
