#include "Office/WordFormula.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "Office/HtmlTree.h"
#include "Office/TextOps.h"
#include "Office/WorkingText.h"

namespace {

bool EndsWith(const std::string& s, const char* suffix) {
    const std::string t(suffix);
    return s.size() >= t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0;
}

}  // namespace

std::string PicturePathOf(const std::string& elementText) {
    size_t p = elementText.find("file:///");
    if (p == std::string::npos) p = elementText.find("file://");
    if (p == std::string::npos) return std::string();
    const size_t q = elementText.find('"', p);
    return elementText.substr(p, q == std::string::npos ? std::string::npos : q - p);
}

WordFormula::WordFormula() = default;
WordFormula::~WordFormula() = default;

void WordFormula::Scan(const std::string& text, bool literal) {
    formulas_.clear();
    pictures_.clear();
    cropped_.clear();
    static const std::string kStart = "<!--[if gte vml 1]>";
    static const std::string kEnd = "<![endif]-->";
    // Only the tables outlive the scan; the VML text is as large as the shapes.
    std::vector<std::pair<size_t, size_t>> blocks;
    size_t total = 13;
    for (size_t pos = 0;;) {
        const size_t a = text.find(kStart, pos);
        if (a == std::string::npos) break;
        const size_t b = text.find(kEnd, a);
        if (b == std::string::npos) break;
        blocks.emplace_back(a + kStart.size(), b - a - kStart.size());
        total += blocks.back().second;
        pos = b + kEnd.size();
    }
    if (blocks.empty()) return;
    std::string vml;
    // One allocation (large texts are mapped afresh for each), and always on the heap: the
    // tree's views must survive the move of the text into `doc` below.
    vml.reserve(std::max<size_t>(total, 64));
    vml = "<html>";
    for (const auto& block : blocks) vml.append(text, block.first, block.second);
    vml += "</html>";
    if (literal) {
        plain::ReplaceAll(vml, "<v:shape", "<vshape");
        plain::ReplaceAll(vml, "</v:shape>", "</vshape>");
    } else {
        ReplaceAll(vml, "<v:shape", "<vshape");
        ReplaceAll(vml, "</v:shape>", "</vshape>");
    }

    HtmlTree tree = literal ? BuildHtmlTreeWithDom(vml) : BuildHtmlTree(vml);
    WorkingText doc(std::move(vml), literal, {"vshape"});
    for (const HtmlNode& shape : tree.nodes) {
        if (!shape.isTag || shape.tagName != "vshape") continue;
        const std::string id = shape.Parsed().attribute("id").second;
        std::string element;
        doc.ElementText(std::string(shape.text), std::string(shape.closingText), element);
        const std::string path = PicturePathOf(element);
        if (EndsWith(path, ".wmz") || EndsWith(path, ".WMZ")) formulas_.insert(id);
        if (EndsWith(path, ".png") || EndsWith(path, ".PNG")) {
            if (element.find("croptop") != std::string::npos) cropped_.insert(id);
            pictures_.insert(std::make_pair(id, path));
        }
    }
}

bool WordFormula::IsFormula(const std::string& id) const {
    return formulas_.count(id) != 0;
}

bool WordFormula::IsCropped(const std::string& id) const {
    return cropped_.count(id) != 0;
}

bool WordFormula::PicturePath(const std::string& id, std::string& path) const {
    auto it = pictures_.find(id);
    path = it == pictures_.end() ? std::string() : it->second;
    return it != pictures_.end();
}
