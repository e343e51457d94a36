// The tag pass: the document tree is taken from a snapshot of the working text before the class
// styles are inlined, and each element of interest edits the working text through its tag
// step, which searches the text for the texts the parser reported (its opening tag, its closing
// tag, its length). The tree itself is never changed; an element whose opening tag no longer
// occurs (an earlier step changed it) is left alone.
#include <htmlcxx/html/Node.h>

#include <string_view>

#include "Office/steps/Steps.h"
#include "platform/kernel/LargeBuffer.h"

namespace {

// Visits every element of the tree in document order; tag names match exactly, with case.
void VisitTags(Conversion& c, const HtmlTree& tree) {
    for (size_t i = 0; i < tree.nodes.size(); ++i) {
        const HtmlNode& node = tree.nodes[i];
        // Only elements: a text node's "tag name" is its text.
        if (!node.isTag) continue;
        const std::string_view name = node.tagName;
        if (name != "a" && name != "vshapetype" && name != "vshape" && name != "img" &&
            name != "IMG" && name != "p") {
            continue;
        }
        // Attributes decide only when they can: a paragraph is restyled for class MsoNormal,
        // a picture rewritten for a local src, an anchor unwrapped for an OLE_LINK name
        // (attribute values are verbatim).
        if (name == "p" && node.text.find("MsoNormal") == std::string_view::npos) continue;
        if ((name == "img" || name == "IMG") &&
            node.text.find("file://") == std::string_view::npos) {
            continue;
        }
        if (!c.tags->Contains(std::string(node.text))) continue;
        const bool attributes =
            name != "vshapetype" &&
            (name != "a" || node.text.find("OLE_LINK") != std::string_view::npos);
        const htmlcxx::HTML::Node element = node.Parsed(attributes);
        if (name == "a") {
            UnwrapAnchor(c, element);
        } else if (name == "vshapetype") {
            RemoveShapeType(c, element);
        } else if (name == "vshape") {
            ShapeToPicture(c, element);
        } else if (name == "p") {
            RestyleParagraph(c, element);
        } else {
            const int up = tree.parent[i];
            const HtmlNode parent = up >= 0 ? tree.nodes[up] : HtmlNode();
            RewriteLocalPicture(c, element, up >= 0 ? &parent : nullptr);
        }
    }
}

}  // namespace

void RunTagPass(Conversion& c) {
    // The inlining writes into the pages of the free buffer and hands the old text back, which
    // becomes the snapshot in place.
    std::string snapshot;
    snapshot.swap(c.scratch);
    if (InlineClassStyles(c, snapshot)) {
        snapshot.reserve(snapshot.size() + 13);
        snapshot.insert(0, "<html>");
        snapshot.append("</html>");
    } else {
        snapshot.clear();
        platform::ReserveLarge(snapshot, c.text.size() + 13);
        snapshot.append("<html>").append(c.text).append("</html>");
    }
    std::unique_ptr<TagPassText> working =
        c.engine.EditTags(std::move(c.text), {"a", "p", "img", "span", "vshape", "vshapetype"});
    c.text.clear();
    c.tags = working.get();
    {
        const HtmlTree tree = c.engine.BuildTree(snapshot);
        VisitTags(c, tree);
    }
    c.tags = nullptr;
    // The tree viewed the snapshot; its pages take the result.
    working->Take(snapshot);
    c.text.swap(snapshot);
}
