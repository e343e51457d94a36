// The tag pass: the document tree is built on the working text as it was before the class
// styles were inlined, and each element of interest edits the working text through its tag
// step, which searches the text for the texts the parser reported (its opening tag, its closing
// tag, its length). The tree itself is never changed; an element whose opening tag no longer
// occurs (an earlier step changed it) is left alone.
#include <htmlcxx/html/Node.h>

#include <string>
#include <string_view>
#include <vector>

#include "Office/steps/Steps.h"
#include "platform/kernel/LargeBuffer.h"

namespace {

// Visits every element of the tree (of elements) in document order; tag names match exactly,
// with case.
void VisitTags(Conversion& c, const HtmlTree& tree) {
    for (size_t i = 0; i < tree.nodes.size(); ++i) {
        const HtmlNode& node = tree.nodes[i];
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
        // A shape's id is read from its tag alone (ShapeToPicture).
        const bool attributes =
            name != "vshapetype" && name != "vshape" &&
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
    static const std::vector<std::string> kNames = {"a",    "p",      "img",
                                                    "span", "vshape", "vshapetype"};
    // The inlining writes into the pages of the free buffer and hands the old text back.
    std::string before;
    before.swap(c.scratch);
    const bool inlined = InlineClassStyles(c, before);
    // The tree's text: the text before the inlining, inside an "<html>" element. Without
    // inlining it is the working text itself, which the tag list then reads in place.
    std::string& treeText = inlined ? before : c.text;
    // Without inlining the free buffer holds nothing the pass needs; released now, its pages
    // are not held beside the tag list and the tree.
    if (!inlined) std::string().swap(before);
    const size_t size = treeText.size();
    platform::ReserveLarge(treeText, size + 13);
    treeText.insert(0, "<html>");
    treeText.append("</html>");
    std::unique_ptr<TagPassText> working =
        inlined ? c.engine.EditTags(std::move(c.text), kNames)
                : c.engine.EditTagsOver(std::string_view(c.text).substr(6, size), kNames);
    c.tags = working.get();
    {
        const HtmlTree tree = c.engine.BuildElementTree(treeText);
        VisitTags(c, tree);
    }
    c.tags = nullptr;
    if (inlined) {
        // The result goes into the pages of the buffer the tree viewed.
        std::string result;
        result.swap(before);
        working->Take(result);
        working.reset();
        c.text.swap(result);
    } else {
        // The result is written over the text the tag list read, where the moves allow.
        working->TakeOver(c.text);
        working.reset();
        // The page takes the result while the converter keeps it: the pages the longer text
        // left behind it are given back.
        platform::ReleaseSpareCapacity(c.text);
    }
}
