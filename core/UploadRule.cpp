#include "core/UploadRule.h"

#include <cstdio>

#include "Biz/Log.h"
#include "core/PageInstance.h"
#include "core/PastedFiles.h"
#include "events/PageEvents.h"
#include "image/CImageFileUploader.h"
#include "platform/kernel/Text.h"

bool MayPost(PageInstance& page, const CImageFileUploader& entry) {
    const PastedFiles* pasted = page.pastedFiles();
    if (!pasted || entry.source().empty() || pasted->Allows(entry.source())) return true;
    const std::string path = util::WideToUtf8(entry.source());
    // Only the binding that turns the rule on (the native host) gets here; its standard
    // error is the browser's log.
    std::fprintf(stderr, "upload refused: no paste reported the local file \"%s\"\n", path.c_str());
    QUILLON_TRACE(Log::kLog, 0, "FileUploader_Post: refused, not a pasted file: " << path);
    page.PostEvent(FilePostErrorEventText(entry.reportedId(), kRefusedUploadCode));
    return false;
}
