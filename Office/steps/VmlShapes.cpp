// VML shapes and formulas. Word writes each picture twice: as a VML shape inside a conditional
// comment (with its size in points and, for a picture it converted, a PNG; for a formula a
// WMZ) and as a fallback img element that names the shape in its "v:shapes" attribute. The
// shape scan reads the VML blocks before they are opened; the tag pass then turns each shape
// with a local picture into a sized img element and records it in the image table, unless the
// picture is cropped at the top, where the fallback picture stands in (LocalPictures.cpp).
#include <htmlcxx/html/Node.h>

#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "Biz/Log.h"
#include "Office/LocalPath.h"
#include "Office/TagAttribute.h"
#include "Office/steps/Steps.h"
#include "platform/kernel/LargeBuffer.h"

namespace {

bool EndsWith(std::string_view s, const char* suffix) {
    const std::string_view t(suffix);
    return s.size() >= t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0;
}

// The text from the first `name` up to the first "pt" behind it (name included).
std::string PointsPart(const std::string& element, const char* name) {
    const size_t a = element.find(name);
    if (a == std::string::npos) return std::string();
    const size_t b = element.find("pt", a);
    if (b == std::string::npos) return std::string();
    return element.substr(a, b - a);
}

// "<v:shape" -> "<vshape" and "</v:shape>" -> "</vshape>": the names the tree is searched for
// (a DOM parser's tag name ends at the colon). "<v:shapetype" thereby becomes "<vshapetype".
void RenameShapeTags(const TextEngine& engine, std::string& text, std::string& scratch) {
    engine.ReplaceAll(text, "<v:shape", "<vshape", scratch);
    engine.ReplaceAll(text, "</v:shape>", "</vshape>", scratch);
}

// Fills the shape tables: a WMZ image makes a formula, a PNG image a picture (the first path
// of an id is kept), cropped when its element text holds "croptop" (crops on other sides do not
// count).
class ShapeTableFiller : public VmlShapeVisitor {
  public:
    explicit ShapeTableFiller(WordFormula& shapes) : shapes_(shapes) {}

    void Visit(const VmlShape& shape) override {
        std::string id;
        TagAttribute(shape.OpeningText(), "id", id);
        std::string_view path;
        if (!shape.PicturePath(path)) return;
        if (EndsWith(path, ".wmz") || EndsWith(path, ".WMZ")) shapes_.AddFormula(id);
        if (EndsWith(path, ".png") || EndsWith(path, ".PNG")) {
            if (shape.CroppedAtTop()) shapes_.AddCropped(id);
            if (!shapes_.HasPicture(id)) shapes_.AddPicture(id, shape.KeepPath());
        }
    }

  private:
    WordFormula& shapes_;
};

}  // namespace

void ScanShapes(Conversion& c) {
    c.shapes.Clear();
    static const std::string kStart = "<!--[if gte vml 1]>";
    static const std::string kEnd = "<![endif]-->";
    // The VML document: "<html>", the content of every VML block, "</html>". Only the tables
    // outlive the scan; the VML text is as large as the shapes.
    std::vector<std::pair<size_t, size_t>> blocks;
    size_t total = 13;
    for (size_t pos = 0;;) {
        const size_t a = c.text.find(kStart, pos);
        if (a == std::string::npos) break;
        const size_t b = c.text.find(kEnd, a);
        if (b == std::string::npos) break;
        blocks.emplace_back(a + kStart.size(), b - a - kStart.size());
        total += blocks.back().second;
        pos = b + kEnd.size();
    }
    if (blocks.empty()) return;
    // The VML text uses the pages of the free buffer, which goes back whatever happens below.
    std::string vml;
    vml.swap(c.scratch);
    struct GiveBack {
        std::string& to;
        std::string& from;
        ~GiveBack() { to.swap(from); }
    } giveBack{c.scratch, vml};
    vml.clear();
    platform::ReserveLarge(vml, total);  // one allocation: large texts are mapped afresh for each
    vml = "<html>";
    for (const auto& block : blocks) vml.append(c.text, block.first, block.second);
    vml += "</html>";
    std::string unused;  // the renames shrink the text in place
    RenameShapeTags(c.engine, vml, unused);
    ShapeTableFiller filler(c.shapes);
    c.engine.VisitShapes(vml, filler);
}

void RenameShapeMarkup(Conversion& c) {
    RenameShapeTags(c.engine, c.text, c.scratch);
    c.ReplaceAll("</v:shapetype>", "</vshapetype>");
    c.ReplaceAll("v:shapes=", "vshapes=");
}

void RemoveShapeType(Conversion& c, const htmlcxx::HTML::Node& shapeType) {
    c.tags->EraseElement(shapeType.text(), shapeType.closingText());
}

void ShapeToPicture(Conversion& c, const htmlcxx::HTML::Node& shape) {
    // Without "file://" in it the shape has no picture path and stays as it is.
    std::string element;
    if (!c.tags->ElementTextWith(shape.text(), shape.closingText(), "file://", element)) return;
    const std::string style = "style=\"" + PointsPart(element, "width:") + "pt;" +
                              PointsPart(element, "height:") + "pt;\" ";
    const std::string path = PicturePathOf(element);
    if (path.empty()) return;
    auto tag = std::make_shared<ImageTag>();
    ShapePixelSize(element, tag->width, tag->height);
    const std::string img = "<img " + style + " src=\"" + path + "\" />";
    c.tags->ReplaceAll(element, img);
    tag->src = StripFileScheme(path);
    tag->html = img;
    TagAttribute(shape.text(), "id", tag->id);
    QUILLON_TRACE(Log::kWordConverter, 648, "shape id:" << tag->id);
    if (c.shapes.IsCropped(tag->id)) {
        c.tags->EraseFrom(img, img.size());
    } else {
        c.images.insert(std::make_pair(tag->id, tag));
    }
}
