// Tests drive the host without a desktop: QUILLON_HOST_CLIPBOARD_HTML names a file of
// clipboard "HTML Format" data that an in-memory clipboard offers instead of the system's.
// Unset (as browsers start the host), the system clipboard is used.
#pragma once

namespace host {

void InstallTestClipboard();

}  // namespace host
