#include "host/StdioServer.h"

#include <cstdio>
#include <string>

namespace host {

bool HandleInput(FrameReader& reader, const char* data, size_t size, HostLoop& loop,
                 HostSession& session, Ending& ending) {
    reader.Append(data, size);
    std::string body;
    for (;;) {
        const FrameReader::Status status = reader.Next(body);
        if (status == FrameReader::kNeedMore) return true;
        if (status == FrameReader::kTooLong) {
            std::fprintf(stderr, "quillon-host: a message over %u bytes, the session ends\n",
                         kMaxIncomingFrame);
            ending = Ending::kRefused;
            return false;
        }
        if (!session.Handle(body)) {
            ending = Ending::kRefused;
            return false;
        }
        // Deliveries a request scheduled run before the next request, as in a browser.
        loop.RunPosted();
    }
}

void ReportInputEnd(const FrameReader& reader) {
    if (reader.Pending() > 0)
        std::fprintf(stderr, "quillon-host: the last message was cut short\n");
}

}  // namespace host
