// The tag pass of the conversion: the document tree is taken from a snapshot of the working
// text, and each element of interest edits the working text by searching it for the texts the
// parser reported (its opening tag, its closing tag, its length).
#include <cstdio>

#include "Biz/Log.h"
#include "Office/HtmlTree.h"
#include "Office/LocalPath.h"
#include "Office/WordConverter.h"
#include "Office/WordFormula.h"
#include "Office/WorkingText.h"
#include "platform/image/ImageSize.h"
#include "platform/kernel/Text.h"

namespace {

using htmlcxx::HTML::Node;

std::string Attr(const Node& node, const char* name) {
    return node.attribute(name).second;
}

// The text from the first `name` up to the first "pt" behind it (name included).
std::string PointsPart(const std::string& element, const char* name) {
    const size_t a = element.find(name);
    if (a == std::string::npos) return std::string();
    const size_t b = element.find("pt", a);
    if (b == std::string::npos) return std::string();
    return element.substr(a, b - a);
}

}  // namespace

class TagPassRunner {
  public:
    TagPassRunner(WordConverter& conv, WorkingText& text) : conv_(conv), text_(text) {}

    void Run(const HtmlTree& tree) {
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
            // an anchor unwrapped for an OLE_LINK name (attribute values are verbatim).
            if (name == "p" && node.text.find("MsoNormal") == std::string_view::npos) continue;
            // Only local pictures are rewritten.
            if ((name == "img" || name == "IMG") &&
                node.text.find("file://") == std::string_view::npos) {
                continue;
            }
            if (!text_.Contains(std::string(node.text))) continue;  // an earlier step changed it
            const bool attributes =
                name != "vshapetype" &&
                (name != "a" || node.text.find("OLE_LINK") != std::string_view::npos);
            const Node element = node.Parsed(attributes);
            if (name == "a") {
                Anchor(element);
            } else if (name == "vshapetype") {
                text_.EraseElement(element.text(), element.closingText());
            } else if (name == "vshape") {
                Shape(element);
            } else if (name == "p") {
                Paragraph(element);
            } else {
                const int up = tree.parent[i];
                const HtmlNode parent = up >= 0 ? tree.nodes[up] : HtmlNode();
                Picture(element, up >= 0 ? &parent : nullptr);
            }
        }
    }

  private:
    void Paragraph(const Node& node) {
        const auto cls = node.attribute("class");
        if (!cls.first || cls.second != "MsoNormal") return;
        const std::string s = Attr(node, "style");
        std::string tag = "<p style=\"text-justify: inter-ideograph;";
        if (s.find("text-align") == std::string::npos) tag += "text-align: justify;";
        tag += "margin: 0cm 0cm 0pt;font-family: 'Times New Roman';font-size: 10.5pt;";
        tag += s;
        tag += "\">";
        text_.ReplaceAll(node.text(), tag);
    }

    void Anchor(const Node& node) {
        if (Attr(node, "name").find("OLE_LINK") != std::string::npos) {
            text_.StripBlocks(node.text(), node.closingText());
        }
        if (text_.ClosesRightAfter(node.text(), node.closingText())) {
            text_.ReplaceAll(node.text() + node.closingText(), "");
        }
    }

    void Shape(const Node& node) {
        // Without "file://" in it the shape has no picture path and stays as it is.
        std::string element;
        if (!text_.ElementTextWith(node.text(), node.closingText(), "file://", element)) return;
        const std::string style = "style=\"" + PointsPart(element, "width:") + "pt;" +
                                  PointsPart(element, "height:") + "pt;\" ";
        const std::string path = PicturePathOf(element);
        if (path.empty()) return;
        auto tag = std::make_shared<ImageTag>();
        ShapePixelSize(element, tag->width, tag->height);
        const std::string img = "<img " + style + " src=\"" + path + "\" />";
        text_.ReplaceAll(element, img);
        tag->src = StripFileScheme(path);
        tag->html = img;
        tag->id = Attr(node, "id");
        QUILLON_TRACE(Log::kWordConverter, 648, "shape id:" << tag->id);
        if (conv_.formula_.IsCropped(tag->id)) {
            text_.EraseFrom(img, img.size());
        } else {
            conv_.images_.insert(std::make_pair(tag->id, tag));
        }
    }

    void Picture(const Node& node, const HtmlNode* parent) {
        std::string src = Attr(node, "src");
        if (src.find("file://") == std::string::npos) return;
        std::string width = Attr(node, "width");
        std::string height = Attr(node, "height");
        const std::string alt = Attr(node, "alt");
        std::string v = Attr(node, "vshapes");
        if (v.empty()) v = UnnamedKey();
        auto known = conv_.images_.find(v);
        if (known != conv_.images_.end()) {
            known->second->width = width;
            known->second->height = height;
            text_.EraseFrom(node.text(), node.length());
            if (!conv_.formula_.IsCropped(v)) return;
        }
        std::string shapePath;
        if (conv_.formula_.PicturePath(v, shapePath) && !conv_.formula_.IsCropped(v)) {
            src = shapePath;
        }
        if (width.empty() || height.empty()) {
            uint32_t w = 0;
            uint32_t h = 0;
            platform::image::ReadImagePixelSize(util::Utf8ToWide(LocalFilePath(src)), w, h);
            width = std::to_string(w);
            height = std::to_string(h);
        }
        const bool formula = conv_.formula_.IsFormula(v);
        const std::string img = std::string("<img ") +
                                (formula ? "style=\"vertical-align:middle;\"" : "") + " width=\"" +
                                width + "\" height=\"" + height + "\" alt=\"" + alt + "\" src=\"" +
                                src + "\" />";
        auto tag = std::make_shared<ImageTag>();
        tag->alt = alt;
        tag->width = width;
        tag->height = height;
        tag->html = img;
        tag->src = StripFileScheme(src);
        conv_.images_[v] = tag;
        text_.ReplaceAll(node.text(), img);
        if (formula && parent && parent->isTag && parent->tagName == "span") {
            text_.StripBlocks(std::string(parent->text), std::string(parent->closingText));
        }
    }

    // Pictures without a shape id are each listed under a key of their own: "\x01" (below any
    // real id) and a zero-padded number in document order.
    std::string UnnamedKey() {
        char key[16];
        std::snprintf(key, sizeof key, "\x01%08u", ++conv_.unnamedPictures_);
        return key;
    }

    WordConverter& conv_;
    WorkingText& text_;
};

void WordConverter::TagPass(std::string& buffer) {
    // The tree is read from the text as it stands before the class styles are inlined. The
    // scratch buffer of the text steps already has its pages: the inlining writes into them and
    // hands the old text back, which becomes that snapshot in place.
    std::string snapshot;
    snapshot.swap(buffer);
    if (css_.InlineClassStyles(text_, snapshot)) {
        snapshot.reserve(snapshot.size() + 13);
        snapshot.insert(0, "<html>");
        snapshot.append("</html>");
    } else {
        snapshot.clear();
        snapshot.reserve(text_.size() + 13);
        snapshot.append("<html>").append(text_).append("</html>");
    }
    WorkingText working(std::move(text_), literal_,
                        {"a", "p", "img", "span", "vshape", "vshapetype"});
    text_.clear();
    {
        const HtmlTree tree = literal_ ? BuildHtmlTreeWithDom(snapshot) : BuildHtmlTree(snapshot);
        TagPassRunner(*this, working).Run(tree);
    }
    // The tree viewed the snapshot; its pages take the result.
    working.Take(snapshot);
    text_.swap(snapshot);
}
