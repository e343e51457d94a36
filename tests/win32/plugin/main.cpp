// plugin_test.exe [NAME-PART]: npQuillon.dll loaded by a test browser and driven through its
// exports and its scriptable object, as a Windows browser does. Its main thread is the
// browser's main thread, initialized for OLE as a browser's is.
#include <ole2.h>

#include "Check.h"
#include "PluginHost.h"

int main(int argc, char** argv) {
    if (FAILED(OleInitialize(nullptr))) return 2;
    const int result = wintest::Host() ? wincheck::RunAll(argc > 1 ? argv[1] : nullptr) : 1;
    OleUninitialize();
    return result;
}
