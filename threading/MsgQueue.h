// The locked queue of event texts that carries results from any thread to the main thread.
#pragma once

#include <boost/function.hpp>
#include <boost/shared_ptr.hpp>
#include <list>
#include <string>

#include "threading/CriticalSection.h"

class MsgQueue {
  public:
    typedef boost::shared_ptr<std::string> Entry;
    typedef boost::function<void(const Entry&)> Handler;

    // Takes the text in at the end (moved, not copied, when the caller hands it over).
    void Push(std::string text);
    // Calls the handler once per entry queued when the call began, in order, under the lock,
    // and removes exactly those entries. Entries the handler itself pushes (the lock is
    // re-entrant) stay for a later call.
    void Process(const Handler& handler);
    void Clear();
    size_t Size();

  private:
    std::list<Entry> entries_;
    Korvane::Threading::CriticalSection lock_;
};
