// The bounds every request keeps, whatever the server does:
//   - low speed: once a request has run for a whole window, the bytes it moved (sent or
//     received) during the last window must average at least the minimum rate, else it ends
//     as timed out. A server that is silent, or that drips a byte a second, fails after one
//     window; a slow but useful link (a few KiB/s) passes.
//   - deadlines: an upload's answer (status, headers and body, counted from the end of the
//     request body) and a whole download must each end within their deadline.
//   - the upload's answer is read up to a size limit, as a download's body is.
// Process-wide; tests shorten them to run in seconds.
#pragma once

#include <cstdint>

struct TransferLimits {
    int64_t lowSpeedWindowMs = 60000;
    int64_t lowSpeedBytesPerSecond = 1024;
    int64_t uploadResponseDeadlineMs = 300000;
    int64_t downloadDeadlineMs = 1800000;
    int64_t maxUploadResponseBytes = 10485760;
};

TransferLimits GetTransferLimits();
void SetTransferLimits(const TransferLimits& limits);
