#include "threading/Worker.h"

#include <boost/thread/thread.hpp>

namespace Korvane {
namespace Threading {

void StartDetachedWorker(const boost::function<void()>& work) {
    boost::thread worker(work);
    worker.detach();
}

}  // namespace Threading
}  // namespace Korvane
