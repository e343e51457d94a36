// The bounds every request keeps, whatever the server does:
//   - low speed: once a request has run for a whole window, the bytes it moved (sent or
//     received) during the last window must average at least the minimum rate, else it ends
//     as timed out. A server that is silent, or that drips a byte a second, fails after one
//     window; a slow but useful link (a few KiB/s) passes.
//   - deadlines: an upload's answer (status, headers and body, counted from the end of the
//     request body) and a whole download must each end within their deadline.
//   - the upload's answer is read up to a size limit, as a download's body is.
// Why these numbers: a 60-second window keeps the old rule that a minute without progress
// ends a transfer; 1 KiB/s is far below any link a user would upload pictures over (a modem
// gives about 5 KiB/s), so only hopeless transfers trip it, and with the 10 MiB limits it caps
// a download or an answer at under three hours even when a server drips just fast enough.
// The deadlines cut that further: five minutes for a server to answer an upload (answers are
// a few hundred bytes), half an hour for a whole download (10 MiB at about 6 KiB/s).
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
