// quillon download: fetches an address through the downloader into a file.
#include <cstdio>

#include "Network/WinINetDowner.h"
#include "platform/kernel/Files.h"
#include "platform/kernel/Text.h"
#include "threading/EventHandler.h"
#include "tools/quillon/Command.h"

namespace {

class DownloadWatcher : public sigslot::has_slots<> {
  public:
    explicit DownloadWatcher(WinINetDowner& downer) {
        downer.Error.connect(this, &DownloadWatcher::OnError);
        downer.Complete.connect(this, &DownloadWatcher::OnComplete);
    }
    ~DownloadWatcher() override { disconnect_all(); }

    Korvane::Threading::EventHandler done;
    std::atomic<unsigned int> error{0};

  private:
    void OnError(unsigned int code) {
        error.store(code);
        done.Set();
    }
    void OnComplete() { done.Set(); }
};

int Run(const std::vector<std::string>& args) {
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: quillon download URL OUT\n");
        return 2;
    }
    WinINetDowner downer;
    DownloadWatcher watcher(downer);
    downer.Download(args[0]);
    watcher.done.Wait();
    downer.WaitUntilIdle(UINT32_MAX);
    if (watcher.error.load() != 0) {
        std::fprintf(stderr, "quillon download: failed with error %u: %s\n", watcher.error.load(),
                     DescribeFailure(downer.GetLastFailure()).c_str());
        return 1;
    }
    uint32_t length = 0;
    boost::shared_array<char> data = downer.GetData(length);
    if (!util::WriteWholeFile(util::Utf8ToWide(args[1]), std::string(data.get(), length))) {
        std::fprintf(stderr, "quillon download: cannot write %s\n", args[1].c_str());
        return 1;
    }
    std::printf("%u bytes, file name %s\n", length, util::WideToUtf8(downer.GetFileName()).c_str());
    return 0;
}

Command cmd("download", "download URL OUT - fetches URL through the downloader into OUT", &Run);

}  // namespace
