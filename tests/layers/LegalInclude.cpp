// Compiled with the include root of platform/http: its own header, one of the layer it links
// (platform/kernel) and one of the layer below that (util) are all found.
#include "platform/http/HttpSession.h"
#include "platform/kernel/Sync.h"
#include "util/Numbers.h"

int LayerProbeLegal() {
    platform::AutoResetEvent event;
    return event.WaitFor(0) ? 1 : 0;
}
