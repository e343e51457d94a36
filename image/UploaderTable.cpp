#include "image/UploaderTable.h"

#include <exception>

#include "image/CImageFileUploader.h"
#include "threading/Worker.h"

UploaderTable::UploaderTable(script::EventSink& events) : events_(events) {}

UploaderTable::~UploaderTable() {
    for (auto& entry : entries_) Dispose(std::move(entry.second));
}

int32_t UploaderTable::Add() {
    const int32_t id = nextId_++;
    entries_[id].reset(new CImageFileUploader(id, events_));
    return id;
}

CImageFileUploader* UploaderTable::Find(int32_t id) const {
    auto it = entries_.find(id);
    return it == entries_.end() ? nullptr : it->second.get();
}

bool UploaderTable::Remove(int32_t id) {
    auto it = entries_.find(id);
    if (it == entries_.end()) return false;
    std::unique_ptr<CImageFileUploader> entry = std::move(it->second);
    entries_.erase(it);
    Dispose(std::move(entry));
    return true;
}

void UploaderTable::Dispose(std::unique_ptr<CImageFileUploader> entry) {
    if (!entry) return;
    // Even an idle entry may have a worker still inside one of its slots.
    entry->Retire();
    CImageFileUploader* raw = entry.release();
    try {
        Korvane::Threading::StartDetachedWorker([raw] { delete raw; });
    } catch (const std::exception&) {
        delete raw;  // no thread to spare: wait here
    }
}
