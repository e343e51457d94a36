// Test programs live in build/tests, away from the renderer program the image layer looks for
// beside the module that runs it; every test program points it at the build's own renderer,
// unless the run names another.
#include <cstdlib>

namespace {

const int kRendererChosen =
    setenv("QUILLON_METAFILE_RENDERER", QUILLON_BINARY_DIR "/npquillon-metafile", 0);

}  // namespace
