// Anchors: Word's OLE_LINK bookmarks are unwrapped (their content stays), and empty anchors
// (bookmarks, a closing tag right behind the opening one) disappear.
#include <htmlcxx/html/Node.h>

#include "Office/steps/Steps.h"

void UnwrapAnchor(Conversion& c, const htmlcxx::HTML::Node& a) {
    if (a.attribute("name").second.find("OLE_LINK") != std::string::npos) {
        c.tags->StripBlocks(a.text(), a.closingText());
    }
    if (c.tags->ClosesRightAfter(a.text(), a.closingText())) {
        c.tags->ReplaceAll(a.text() + a.closingText(), "");
    }
}
