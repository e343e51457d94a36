// Starting a detached worker thread. Starting fails with boost::thread_resource_error, which
// reaches the caller. The caller keeps everything the worker uses alive until it returns
// (hand the worker a shared pointer).
#pragma once

#include <boost/function.hpp>

namespace Korvane {
namespace Threading {

void StartDetachedWorker(const boost::function<void()>& work);

}  // namespace Threading
}  // namespace Korvane
