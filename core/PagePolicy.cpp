#include "core/PagePolicy.h"

#include <cstdio>
#include <cstring>

#include "Biz/Log.h"
#include "image/ImageEncoding.h"
#include "platform/kernel/FileSystem.h"

PagePolicy::PagePolicy() : rules_(config::PluginDefaults()) {}

PagePolicy::PagePolicy(config::Policy rules, std::string pageOrigin)
    : rules_(std::move(rules)), origin_(std::move(pageOrigin)) {}

bool PagePolicy::PageAllowed() const {
    return config::AllowsPage(rules_, origin_);
}

bool PagePolicy::MayReadClipboard(bool inGesture) const {
    return !rules_.refuseAll && (!rules_.gestureOnly || inGesture);
}

bool PagePolicy::MayReach(const std::string& url) const {
    return config::AllowsTransfer(rules_, origin_, url);
}

bool PagePolicy::WithinSize(int64_t bytes) const {
    return !rules_.refuseAll && (rules_.maxUploadBytes < 0 || bytes <= rules_.maxUploadBytes);
}

std::string PagePolicy::PageRefusal() const {
    const std::string where = rules_.source.empty() ? "the policy" : "the policy " + rules_.source;
    if (rules_.refuseAll) {
        return "npQuillon: " + where + " cannot be used (" + rules_.refusal +
               "): this page's object does nothing";
    }
    return "npQuillon: the page origin \"" + origin_ + "\" is not in \"allowed_origins\" of " +
           where + ": this page's object does nothing";
}

void PagePolicy::LogRefusal(const std::string& what, const std::string& rule) const {
    const std::string where = rules_.source.empty() ? "defaults" : rules_.source;
    std::fprintf(stderr, "npQuillon: %s refused by the policy rule %s (%s)\n", what.c_str(),
                 rule.c_str(), where.c_str());
    QUILLON_TRACE(Log::kLog, 0,
                  what << " refused by the policy rule " << rule << " (" << where << ")");
}

bool IsUploadablePicture(const std::wstring& path) {
    if (IsConvertedForUpload(path)) return true;
    std::FILE* file = platform::OpenFile(path, "rb");
    if (!file) return false;
    unsigned char head[16] = {0};
    const size_t count = std::fread(head, 1, sizeof head, file);
    std::fclose(file);
    auto starts = [&](const char* magic, size_t length, size_t at = 0) {
        return count >= at + length && std::memcmp(head + at, magic, length) == 0;
    };
    return starts("\x89PNG\r\n\x1a\n", 8) || starts("\xff\xd8\xff", 3) || starts("GIF87a", 6) ||
           starts("GIF89a", 6) ||
           // A bitmap file header: "BM" and its two reserved words zero.
           (starts("BM", 2) && starts("\0\0\0\0", 4, 6)) ||
           (starts("RIFF", 4) && starts("WEBP", 4, 8)) || starts("II*\0", 4) || starts("MM\0*", 4);
}
