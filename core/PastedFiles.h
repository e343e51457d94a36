// The bridge's upload rule: an upload entry of a page instance may send a local file only when
// a paste of that instance reported the file (a Word or Excel picture, a pasted file-list
// entry, a file of the image paster's list). Web addresses are downloaded and sent as before;
// their bytes never come from a local file. The plug-in does not install the rule.
#pragma once

#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "Office/ImageTag.h"

class PastedFiles {
  public:
    // Records the paths exactly as the page was told them (UTF-8).
    void Add(const std::string& utf8Path);
    void Add(const std::vector<std::string>& utf8Paths);
    void AddPictures(const ImageTable& pictures);
    // Whether the page may send `source`: a web address, or a local path reported before.
    bool Allows(const std::wstring& source) const;
    size_t Size() const;

  private:
    mutable std::mutex mutex_;
    std::set<std::string> paths_;
};
