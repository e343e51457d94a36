// One local picture of a conversion: the page uploads the file named by `src` and replaces the
// exact text `html` in the converted HTML by an element pointing at the uploaded address.
#pragma once

#include <map>
#include <memory>
#include <string>

struct ImageTag {
    std::string alt;     // alternative text (empty for pictures taken from a VML shape)
    std::string src;     // local path, "file:///" and "file://" removed, escapes as written
    std::string width;   // pixels, decimal text
    std::string height;  // pixels, decimal text
    std::string html;    // the img element exactly as written into the converted HTML
    std::string id;      // VML shape id, for records made from a shape
};

// Shape id -> shared record, walked in ascending byte order of the ids. Pictures without a
// shape id get keys of their own (see WordConverter).
typedef std::map<std::string, std::shared_ptr<ImageTag>> ImageTable;
