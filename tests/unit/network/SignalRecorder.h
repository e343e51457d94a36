// Records what a poster or downloader reports, from whatever thread it reports on.
#pragma once

#include <functional>
#include <mutex>
#include <vector>

#include "threading/sigslot.h"

class SignalRecorder : public sigslot::has_slots<> {
  public:
    ~SignalRecorder() override { disconnect_all(); }

    template <class Source>
    void Watch(Source& source) {
        source.Error.connect(this, &SignalRecorder::OnError);
        source.Complete.connect(this, &SignalRecorder::OnComplete);
    }
    template <class Source>
    void WatchProgress(Source& source) {
        source.Progress.connect(this, &SignalRecorder::OnProgress);
    }

    std::vector<unsigned int> Errors() {
        std::lock_guard<std::mutex> lock(mutex_);
        return errors_;
    }
    int Completions() {
        std::lock_guard<std::mutex> lock(mutex_);
        return completions_;
    }
    std::vector<unsigned long> Progress() {
        std::lock_guard<std::mutex> lock(mutex_);
        return progress_;
    }

    // Runs on the thread that reports progress, after the notification is recorded.
    std::function<void()> onProgress;

  private:
    void OnError(unsigned int code) {
        std::lock_guard<std::mutex> lock(mutex_);
        errors_.push_back(code);
    }
    void OnComplete() {
        std::lock_guard<std::mutex> lock(mutex_);
        ++completions_;
    }
    void OnProgress(unsigned long bytes) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            progress_.push_back(bytes);
        }
        if (onProgress) onProgress();
    }

    std::mutex mutex_;
    std::vector<unsigned int> errors_;
    int completions_ = 0;
    std::vector<unsigned long> progress_;
};
