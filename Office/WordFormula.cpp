#include "Office/WordFormula.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <deque>
#include <memory>
#include <string_view>
#include <unordered_map>
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

// The first match of "<key>(\\d+[^p]*)pt": the key, a digit, then everything up to the first
// "p", which must start "pt". Answers the text between the key and "pt".
bool PointsValue(const std::string& element, const char* key, std::string& value) {
    const size_t k = std::strlen(key);
    for (size_t a = element.find(key); a != std::string::npos; a = element.find(key, a + 1)) {
        const size_t v = a + k;
        if (v >= element.size() || !std::isdigit(static_cast<unsigned char>(element[v]))) continue;
        const size_t p = element.find('p', v + 1);
        if (p == std::string::npos || p + 1 >= element.size() || element[p + 1] != 't') continue;
        value = element.substr(v, p - v);
        return true;
    }
    return false;
}

// The first match of "height:(\\d+)in": the digits right behind the key, followed by "in".
bool InchesValue(const std::string& element, std::string& digits) {
    static const char kKey[] = "height:";
    for (size_t a = element.find(kKey); a != std::string::npos; a = element.find(kKey, a + 1)) {
        const size_t v = a + sizeof kKey - 1;
        size_t e = v;
        while (e < element.size() && std::isdigit(static_cast<unsigned char>(element[e]))) ++e;
        if (e == v || element.compare(e, 2, "in") != 0) continue;
        digits = element.substr(v, e - v);
        return true;
    }
    return false;
}

// The element texts of the shapes in a text that is never edited. When every "<" that could
// start a tag starts one of the parser's tags or end tags, a self-delimited tag text occurs
// only where the parser cut that very tag: the first occurrence of a shape's opening text is
// the first shape with that text, and the first occurrence of its closing text from there is
// the first end tag with that text behind it.
class ShapeElements {
  public:
    ShapeElements(const std::string& html, const HtmlElements& shapes) : html_(html) {
        size_t tagLike = 0;
        for (size_t q = html.find('<'); q != std::string::npos; q = html.find('<', q + 1)) {
            size_t i = q + 1;
            if (i < html.size() && html[i] == '/') ++i;
            if (i < html.size() && std::isalpha(static_cast<unsigned char>(html[i]))) ++tagLike;
        }
        if (!shapes.tagsStartTagLike || shapes.tags != tagLike) return;
        for (const HtmlElements::Element& e : shapes.elements) firstOpen_.emplace(e.text, e.offset);
        for (std::string_view end : shapes.ends) {
            closes_[end].push_back(static_cast<uint32_t>(end.data() - html.data()));
        }
        usable_ = true;
    }

    // The text from the first `open` through the end of the first `close` at or after it, as a
    // search of the text would find it ("" when there is none). False when it cannot tell.
    bool ElementText(std::string_view open, std::string_view close, std::string& text) const {
        text.clear();
        if (!usable_ || !SelfDelimitedTag(open)) return false;
        if (close.empty()) return true;
        if (!SelfDelimitedTag(close)) return false;
        const auto a = firstOpen_.find(open);
        const auto ends = closes_.find(close);
        if (a == firstOpen_.end() || ends == closes_.end()) return false;
        const auto c = std::lower_bound(ends->second.begin(), ends->second.end(), a->second);
        if (c != ends->second.end()) text = html_.substr(a->second, *c + close.size() - a->second);
        return true;
    }

  private:
    const std::string& html_;
    bool usable_ = false;
    std::unordered_map<std::string_view, uint32_t> firstOpen_;  // opening text -> first position
    std::unordered_map<std::string_view, std::vector<uint32_t>>
        closes_;  // closing text -> end tags
};

}  // namespace

float LeadingNumber(const std::string& text) {
    double value = 0;
    double scale = 0;
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            if (scale == 0) {
                value = value * 10 + (c - '0');
            } else {
                value += (c - '0') * scale;
                scale /= 10;
            }
        } else if (c == '.' && scale == 0) {
            scale = 0.1;
        } else {
            break;
        }
    }
    return static_cast<float>(value);
}

std::string PointsToPixels(float points) {
    const double pixels = points / 0.75;
    if (!(pixels >= 0) || pixels >= 2147483647.0) return "0";
    return std::to_string(static_cast<long>(pixels));
}

void ShapePixelSize(const std::string& element, std::string& width, std::string& height) {
    std::string w = "0";
    std::string h = "0";
    PointsValue(element, "width:", w);
    PointsValue(element, "height:", h);
    float hPoints = LeadingNumber(h);
    std::string digits;
    if (InchesValue(element, digits)) {
        // Beyond nine digits the size is absurd anyway; keep the product finite.
        hPoints = digits.size() > 9 ? 1e12f : static_cast<float>(LeadingNumber(digits) * 72.0);
    }
    width = PointsToPixels(LeadingNumber(w));
    height = PointsToPixels(hPoints);
}

std::string PicturePathOf(const std::string& elementText) {
    size_t p = elementText.find("file:///");
    if (p == std::string::npos) p = elementText.find("file://");
    if (p == std::string::npos) return std::string();
    const size_t q = elementText.find('"', p);
    return elementText.substr(p, q == std::string::npos ? std::string::npos : q - p);
}

WordFormula::WordFormula() = default;
WordFormula::~WordFormula() = default;

void WordFormula::Scan(const std::string& text, bool literal, std::string* buffer) {
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
    if (buffer) vml.swap(*buffer);
    // The buffer goes back to the caller whatever happens below.
    struct GiveBack {
        std::string* to;
        std::string& from;
        ~GiveBack() {
            if (to) to->swap(from);
        }
    } giveBack{buffer, vml};
    vml.clear();
    vml.reserve(total);  // one allocation: large texts are mapped afresh for each
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

    std::deque<std::string> kept;
    // The shapes as the document tree has them: from the tree for the literal steps, else
    // found by the same rules without building it.
    HtmlElements shapes;
    if (literal) {
        const HtmlTree tree = BuildHtmlTreeWithDom(vml);
        for (size_t i = 0; i < tree.nodes.size(); ++i) {
            const HtmlNode node = tree.nodes[i];
            if (!node.isTag || node.tagName != "vshape") continue;
            // The reference tree's texts live in its store: keep copies beside the text.
            kept.emplace_back(node.text);
            const std::string_view text = kept.back();
            kept.emplace_back(node.closingText);
            shapes.elements.push_back(HtmlElements::Element{text, kept.back(), node.offset});
        }
    } else {
        shapes = FindHtmlElements(vml, "vshape");
    }
    // The text is only searched, never edited: the shapes answer the searches when they can.
    std::unique_ptr<ShapeElements> lookup;
    if (!literal) lookup.reset(new ShapeElements(vml, shapes));
    std::unique_ptr<WorkingText> doc;
    for (const HtmlElements::Element& shape : shapes.elements) {
        HtmlNode node;
        node.text = shape.text;
        node.tagName = "vshape";
        node.isTag = true;
        const std::string id = node.Parsed().attribute("id").second;
        std::string element;
        if (!lookup || !lookup->ElementText(shape.text, shape.closingText, element)) {
            if (!doc) doc.reset(new WorkingText(vml, literal, {"vshape"}));
            doc->ElementText(std::string(shape.text), std::string(shape.closingText), element);
        }
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
