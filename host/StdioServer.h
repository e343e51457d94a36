// The host's end of the native port: frames from the browser on standard input, messages to it
// on standard output. The reading differs per system (poll on Linux; on Windows, whose pipes
// cannot be waited on, a thread of its own); what is done with the bytes is shared.
#pragma once

#include <cstddef>

#include "host/Framing.h"
#include "host/HostLoop.h"
#include "host/HostSession.h"

namespace host {

enum class Ending { kClosed, kRefused, kFailed };

// Standard input and output made to carry the frames' bytes unchanged: on Windows binary mode
// (text mode would write a length byte 0x0A as 0x0D 0x0A); on Linux a closed port makes
// writes fail instead of killing the process.
void PrepareStdio();

// The descriptor messages to the browser are written to.
constexpr int kStdoutDescriptor = 1;

// Reads frames until standard input ends (kClosed) or the session cannot go on; the loop's
// posted calls run between messages, as a browser runs a plug-in's asynchronous calls.
Ending ServeStdio(HostLoop& loop, HostSession& session);

// Shared by both readers. Appends input and hands every whole frame to the session, running
// the calls its request scheduled before the next request; false with `ending` set when the
// session cannot go on.
bool HandleInput(FrameReader& reader, const char* data, size_t size, HostLoop& loop,
                 HostSession& session, Ending& ending);
// Standard input ended: says so when it ended inside a message.
void ReportInputEnd(const FrameReader& reader);

}  // namespace host
