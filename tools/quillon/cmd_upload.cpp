// quillon upload: uploads a file through the poster exactly as an upload entry does, printing
// progress lines and the server's response.
#include <cstdio>
#include <mutex>

#include "Network/WinINetPoster.h"
#include "platform/kernel/FileSystem.h"
#include "platform/kernel/Text.h"
#include "threading/EventHandler.h"
#include "tools/quillon/Command.h"

namespace {

class UploadWatcher : public sigslot::has_slots<> {
  public:
    explicit UploadWatcher(WinINetPoster& poster) : poster_(poster) {
        poster.Error.connect(this, &UploadWatcher::OnError);
        poster.Progress.connect(this, &UploadWatcher::OnProgress);
        poster.Complete.connect(this, &UploadWatcher::OnComplete);
    }
    ~UploadWatcher() override { disconnect_all(); }

    Korvane::Threading::EventHandler done;
    std::vector<unsigned int> errors;
    bool completed = false;

  private:
    void OnError(unsigned int code) {
        std::lock_guard<std::mutex> lock(mutex_);
        errors.push_back(code);
        if (code == 2) done.Set();
    }
    void OnProgress(unsigned long) {
        std::printf("progress %s posted=%d speed=%d left=%s\n", poster_.GetPercent().c_str(),
                    poster_.GetPosted(), poster_.GetSpeed(), poster_.GetTimeLeft().c_str());
    }
    void OnComplete() {
        std::lock_guard<std::mutex> lock(mutex_);
        completed = true;
        done.Set();
    }

    WinINetPoster& poster_;
    std::mutex mutex_;
};

std::wstring ExtensionOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"/\\");
    const size_t dot = path.rfind(L'.');
    if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash)) return L"";
    return path.substr(dot);
}

int Run(const std::vector<std::string>& args) {
    std::string url, file, cookie;
    FormFields fields = MakeFormFields();
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--cookie" && i + 1 < args.size()) {
            cookie = args[++i];
        } else if (args[i] == "--field" && i + 1 < args.size()) {
            const std::string pair = args[++i];
            const size_t equals = pair.find('=');
            if (equals == std::string::npos || equals == 0) {
                std::fprintf(stderr, "quillon upload: --field needs NAME=VALUE\n");
                return 2;
            }
            (*fields)[pair.substr(0, equals)] = pair.substr(equals + 1);
        } else if (url.empty()) {
            url = args[i];
        } else if (file.empty()) {
            file = args[i];
        } else {
            std::fprintf(stderr, "quillon upload: unexpected argument '%s'\n", args[i].c_str());
            return 2;
        }
    }
    if (url.empty() || file.empty()) {
        std::fprintf(stderr,
                     "usage: quillon upload URL FILE [--field NAME=VALUE]... [--cookie TEXT]\n");
        return 2;
    }
    const std::wstring path = util::Utf8ToWide(file);
    // The poster reads the file from disk itself; a missing file is no 0-byte upload here.
    std::FILE* probe = platform::OpenFile(path, "rb");
    if (!probe) {
        std::fprintf(stderr, "quillon upload: cannot read %s\n", file.c_str());
        return 1;
    }
    std::fclose(probe);

    WinINetPoster poster;
    UploadWatcher watcher(poster);
    poster.SetPostUrl(url);
    poster.SetCookie(cookie);
    poster.SetFields(fields);
    poster.PostFile(path, ExtensionOf(path));
    watcher.done.Wait();
    poster.WaitUntilIdle(UINT32_MAX);
    if (watcher.completed) {
        std::printf("complete %s\n%s\n", util::WideToUtf8(poster.GetFileName()).c_str(),
                    poster.GetResponse().c_str());
        return 0;
    }
    std::fprintf(stderr, "quillon upload: failed with error");
    for (unsigned int code : watcher.errors) std::fprintf(stderr, " %u", code);
    std::fprintf(stderr, ": %s\n", DescribeFailure(poster.GetLastFailure()).c_str());
    return 1;
}

Command cmd("upload",
            "upload URL FILE [--field NAME=VALUE]... [--cookie TEXT] - multipart upload, "
            "printing progress and the response",
            &Run);

}  // namespace
