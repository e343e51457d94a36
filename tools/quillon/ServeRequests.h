// The requests quillon serve answers: a multipart POST stores its "file" part, streamed to
// disk, and answers with the stored file's address; GET and HEAD of /files/NAME serve it back.
#pragma once

#include "tools/quillon/ConnectionLoop.h"
#include "tools/quillon/ServerOptions.h"
#include "tools/quillon/UploadFolder.h"

struct ServeContext {
    const ServerOptions& options;
    UploadFolder& folder;
    int port;
};

// A RequestHandler for ConnectionLoop.
bool HandleRequest(const ServeContext& context, Connection& connection);
