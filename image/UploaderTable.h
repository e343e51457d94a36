// The instance's upload entries by table id, and the next id to hand out (1 first, never
// reused within an instance). Main thread only.
//
// Removing an entry never waits for its workers on the main thread: the entry is retired at
// once (no more events, its script objects released, its workers asked to stop) and destroyed
// on a thread of its own. A worker's event may be waiting for the page's delivery, which runs
// on the main thread, so waiting there for that worker could deadlock (the page may delete an
// entry from inside its event callback).
#pragma once

#include <cstdint>
#include <map>
#include <memory>

#include "script/EventSink.h"

class CImageFileUploader;

class UploaderTable {
  public:
    // Every entry posts its events to `events`, which outlives the table.
    explicit UploaderTable(script::EventSink& events);
    ~UploaderTable();
    UploaderTable(const UploaderTable&) = delete;
    UploaderTable& operator=(const UploaderTable&) = delete;

    // Creates an entry under the next id and returns that id.
    int32_t Add();
    // Null for an id not in the table.
    CImageFileUploader* Find(int32_t id) const;
    // False for an id not in the table.
    bool Remove(int32_t id);
    size_t Size() const { return entries_.size(); }

  private:
    static void Dispose(std::unique_ptr<CImageFileUploader> entry);

    script::EventSink& events_;
    std::map<int32_t, std::unique_ptr<CImageFileUploader>> entries_;
    int32_t nextId_ = 1;
};
