#include "Network/TransferFailure.h"

#include "Network/TransferLimits.h"

std::string DescribeFailure(const TransferFailure& failure) {
    const TransferLimits limits = GetTransferLimits();
    switch (failure.kind) {
        case TransferFailure::kNone:
            return "no failure";
        case TransferFailure::kCannotConnect:
            return "cannot connect (refused, unreachable or unknown host)";
        case TransferFailure::kTimedOut:
            return "timed out (below " + std::to_string(limits.lowSpeedBytesPerSecond) +
                   " bytes/s for " + std::to_string(limits.lowSpeedWindowMs / 1000) + " s)";
        case TransferFailure::kDeadline:
            return "timed out (not done within " + std::to_string(failure.value / 1000) + " s)";
        case TransferFailure::kHttpStatus:
            return "HTTP status " + std::to_string(failure.status);
        case TransferFailure::kResponseTooLarge:
            return "response over the limit of " + std::to_string(failure.value) + " bytes";
        case TransferFailure::kBodyTooLarge:
            return "body over the limit (" + std::to_string(failure.value) + " bytes announced)";
        case TransferFailure::kRedirectLoop:
            return "too many redirects (redirect loop)";
        case TransferFailure::kRedirectRefused:
            return "redirect refused by the policy (upload_origins)";
        case TransferFailure::kBadResponse:
            return "unusable response (no Content-Length or Content-Type, or cut short)";
        case TransferFailure::kFileTooLarge:
            return "file too large (" + std::to_string(failure.value) +
                   " bytes; at most 2147483647)";
        case TransferFailure::kFileChanged:
            return "the file changed during the upload";
        case TransferFailure::kFileUnreadable:
            return "the file could not be read";
        case TransferFailure::kNoBoundary:
            return "no multipart boundary absent from the content";
        case TransferFailure::kHeadersNotSent:
            return "request headers not sent (transport error " +
                   std::to_string(failure.platformError) + ")";
        case TransferFailure::kTransport:
            return "transport error " + std::to_string(failure.platformError);
    }
    return "unknown failure";
}
