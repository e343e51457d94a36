#include "Network/TransferGuard.h"

#include <algorithm>

#include "platform/http/HttpSession.h"
#include "platform/kernel/Ticks.h"

TransferGuard::TransferGuard(const TransferLimits& limits)
    : windowMs_(std::max<int64_t>(limits.lowSpeedWindowMs, 0)),
      bytesPerSecond_(std::max<int64_t>(limits.lowSpeedBytesPerSecond, 0)),
      bucketMs_(std::max<int64_t>(windowMs_ / kBuckets, 1)),
      started_(platform::ProcessClockMs()) {}

void TransferGuard::Advance(int64_t now) {
    const int64_t slice = (now - started_) / bucketMs_;
    // Slices that passed without bytes start empty.
    for (int64_t s = slice_ + 1; s <= slice && s <= slice_ + kBuckets + 1; ++s)
        buckets_[s % (kBuckets + 1)] = 0;
    slice_ = std::max(slice_, slice);
}

void TransferGuard::Count(int64_t bytes) {
    Advance(platform::ProcessClockMs());
    buckets_[slice_ % (kBuckets + 1)] += bytes;
}

void TransferGuard::SetDeadline(int64_t ms) {
    deadlineMs_ = ms;
    deadline_ = ms > 0 ? platform::ProcessClockMs() + ms : 0;
}

bool TransferGuard::Expired() {
    if (failure_.kind != TransferFailure::kNone) return true;
    const int64_t now = platform::ProcessClockMs();
    if (deadline_ > 0 && now >= deadline_) {
        failure_ = TransferFailure::Of(TransferFailure::kDeadline, deadlineMs_);
        return true;
    }
    if (windowMs_ == 0 || bytesPerSecond_ == 0 || now - started_ < windowMs_) return false;
    Advance(now);
    // The current slice and the kBuckets before it: at least one whole window.
    int64_t moved = 0;
    for (int64_t bytes : buckets_) moved += bytes;
    const int64_t spanMs = now - started_ - std::max<int64_t>(slice_ - kBuckets, 0) * bucketMs_;
    if (moved * 1000 >= bytesPerSecond_ * spanMs) return false;
    failure_ = TransferFailure::Of(TransferFailure::kTimedOut);
    return true;
}

TransferFailure TransferGuard::SessionFailure(platform::HttpSession& session) const {
    if (failure_.kind != TransferFailure::kNone) return failure_;
    TransferFailure failure;
    failure.platformError = session.LastError();
    switch (session.LastFailure()) {
        case platform::TransportFailure::kCannotConnect:
            failure.kind = TransferFailure::kCannotConnect;
            break;
        case platform::TransportFailure::kTimedOut:
            failure.kind = TransferFailure::kTimedOut;
            break;
        case platform::TransportFailure::kTooManyRedirects:
            failure.kind = TransferFailure::kRedirectLoop;
            break;
        case platform::TransportFailure::kRedirectRefused:
            failure.kind = TransferFailure::kRedirectRefused;
            break;
        default:
            failure.kind = TransferFailure::kTransport;
            break;
    }
    return failure;
}
