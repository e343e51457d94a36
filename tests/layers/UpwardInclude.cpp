// Compiled with the include root of platform/http, which sits below threading/: this include
// runs against the layer order and must not be found.
#include "threading/EventHandler.h"

int LayerProbeUpward() {
    Korvane::Threading::EventHandler event;
    return event.WaitFor(0) ? 1 : 0;
}
