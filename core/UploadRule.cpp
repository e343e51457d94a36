#include "core/UploadRule.h"

#include "config/AppConfig.h"
#include "core/PageInstance.h"
#include "core/PagePolicy.h"
#include "core/PastedFiles.h"
#include "events/PageEvents.h"
#include "image/CImageFileUploader.h"
#include "platform/kernel/Files.h"
#include "platform/kernel/Text.h"

namespace {

bool Refuse(PageInstance& page, const CImageFileUploader& entry, const std::string& what,
            const char* rule) {
    page.policy().LogRefusal("FileUploader_Post: " + what, rule);
    page.PostEvent(FilePostErrorEventText(entry.reportedId(), kRefusedUploadCode));
    return false;
}

}  // namespace

bool MayPost(PageInstance& page, CImageFileUploader& entry) {
    const PagePolicy& policy = page.policy();
    const std::wstring& source = entry.source();
    // An entry the uploader would not start anyway (no address, no source) is left to it.
    const std::string postUrl = AppConfig::Instance().postUrl;
    if (postUrl.empty() || source.empty()) return true;
    if (!policy.MayReach(postUrl))
        return Refuse(page, entry, "the upload to " + postUrl, "\"upload_origins\"");
    const std::string path = util::WideToUtf8(source);
    if (IsWebAddress(source)) {
        if (!policy.MayReach(path))
            return Refuse(page, entry, "the download of " + path, "\"upload_origins\"");
        // Each redirect of the download is put to the same rule, on the download's worker;
        // with "any" there is nothing to check (and the Windows transport keeps following).
        const PagePolicy copy = policy;
        if (policy.rules().uploads == config::Policy::Uploads::kAny) {
            entry.SetRedirectCheck(nullptr);
        } else {
            entry.SetRedirectCheck([copy](const std::string& target) {
                if (copy.MayReach(target)) return true;
                copy.LogRefusal("a download's redirect to " + target, "\"upload_origins\"");
                return false;
            });
        }
        entry.SetDownloadLimit(policy.rules().maxUploadBytes);
        return true;
    }
    const PastedFiles* pasted = page.pastedFiles();
    if (pasted && !pasted->Allows(source))
        return Refuse(page, entry, "no paste reported the local file \"" + path + "\"",
                      "\"local_files\": \"pasted\"");
    // What a paste reports the page may have steered (it can write clipboard HTML naming any
    // path as a picture): only a picture leaves under the rule.
    if (pasted && !IsUploadablePicture(source))
        return Refuse(page, entry, "the local file \"" + path + "\" is not a picture",
                      "\"local_files\": \"pasted\"");
    const int64_t size = util::FileSize(source);
    if (!policy.WithinSize(size))
        return Refuse(page, entry,
                      "the local file \"" + path + "\" of " + std::to_string(size) + " bytes",
                      "\"max_upload_bytes\"");
    return true;
}
