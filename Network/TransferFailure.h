// Why a transfer failed, for logs and the command line; the page still sees only the codes.
#pragma once

#include <cstdint>
#include <string>

struct TransferFailure {
    enum Kind {
        kNone,
        kCannotConnect,     // refused, unreachable or not resolved
        kTimedOut,          // below the minimum rate for a whole window
        kDeadline,          // the answer or the download took longer than its deadline
        kHttpStatus,        // a status other than 200
        kResponseTooLarge,  // an upload's answer over its limit
        kBodyTooLarge,      // a download's Content-Length over the maximum
        kRedirectLoop,      // too many redirects
        kRedirectRefused,   // a redirect to an address the policy does not allow
        kBadResponse,       // no Content-Length or Content-Type, a body cut short
        kFileTooLarge,      // a file the 32-bit count cannot hold
        kFileChanged,       // the file changed while it was being uploaded
        kFileUnreadable,    // a read of the file failed
        kNoBoundary,        // every candidate boundary occurs in the content
        kHeadersNotSent,    // the request headers could not be sent
        kTransport,         // any other transport error
    };

    Kind kind = kNone;
    uint32_t status = 0;     // kHttpStatus
    int64_t value = 0;       // the size or limit the message names
    long platformError = 0;  // the transport's error number, when there was one

    static TransferFailure Of(Kind kind, int64_t value = 0) {
        TransferFailure failure;
        failure.kind = kind;
        failure.value = value;
        return failure;
    }
};

// A short English reason: "HTTP status 404", "timed out (below 1024 bytes/s for 60 s)", ...
std::string DescribeFailure(const TransferFailure& failure);
