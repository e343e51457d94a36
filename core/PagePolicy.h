// The administrator's policy as one page instance applies it: the rules (config/Policy.h)
// and the page's origin, which the binding learned from the browser (the plug-in from the
// page's window location, the bridge from the browser's sender), never from the page's
// arguments. Every check is made before the clipboard read, file read or connection it
// guards; a refusal is logged with the rule that made it.
#pragma once

#include <cstdint>
#include <string>

#include "config/Policy.h"

class PagePolicy {
  public:
    // The plug-in's defaults: everything allowed, as before the policy existed.
    PagePolicy();
    PagePolicy(config::Policy rules, std::string pageOrigin);

    const config::Policy& rules() const { return rules_; }
    const std::string& origin() const { return origin_; }

    // Whether the page may use the instance at all.
    bool PageAllowed() const;
    // Whether a clipboard read may run; `inGesture` says whether the call came within a user
    // gesture (the plug-in cannot tell and passes false).
    bool MayReadClipboard(bool inGesture) const;
    // Whether an upload or download may connect to `url` (also asked for every redirect).
    bool MayReach(const std::string& url) const;
    // Whether an upload of that many bytes is within "max_upload_bytes".
    bool WithinSize(int64_t bytes) const;

    // The page refusal's text: names the page origin, the rule and where the policy lies.
    std::string PageRefusal() const;
    // One log line (standard error, which is the browser's log, and the diagnostic log):
    // "npQuillon: <what> refused by the policy rule <rule> (<source>)".
    void LogRefusal(const std::string& what, const std::string& rule) const;

  private:
    config::Policy rules_;
    std::string origin_;
};

// Whether the file starts like a picture format the uploads send unchanged (PNG, JPEG, GIF,
// BMP, WebP, TIFF), or is one that the upload converts (Office metafiles, bitmaps), so that
// only a rendered picture of it can leave. Reads at most the first 16 bytes.
bool IsUploadablePicture(const std::wstring& path);
