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

bool EndsWith(std::string_view s, const char* suffix) {
    const std::string_view t(suffix);
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

    // Where the text from the first `open` through the end of the first `close` at or after it
    // lies, as a search of the text would find it (`from` == `to` when there is none). False
    // when it cannot tell.
    bool ElementRange(std::string_view open, std::string_view close, size_t& from,
                      size_t& to) const {
        from = to = 0;
        if (!usable_ || !SelfDelimitedTag(open)) return false;
        if (close.empty()) return true;
        if (!SelfDelimitedTag(close)) return false;
        const auto a = firstOpen_.find(open);
        const auto ends = closes_.find(close);
        if (a == firstOpen_.end() || ends == closes_.end()) return false;
        const auto c = std::lower_bound(ends->second.begin(), ends->second.end(), a->second);
        if (c != ends->second.end()) {
            from = a->second;
            to = *c + close.size();
        }
        return true;
    }

  private:
    const std::string& html_;
    bool usable_ = false;
    std::unordered_map<std::string_view, uint32_t> firstOpen_;  // opening text -> first position
    std::unordered_map<std::string_view, std::vector<uint32_t>>
        closes_;  // closing text -> end tags
};

// Searches of ranges of a text that is never edited, each in logarithmic time whatever the
// range's size (nested shapes have element texts that nest, so reading each would take time
// quadratic in the text): the few needles the shape tables look for are listed once, each with
// the first double quote behind it.
class RangeSearch {
  public:
    explicit RangeSearch(const std::string& text) : text_(text) {
        List("file:///", file3_, quote3_);
        List("file://", file2_, quote2_);
        std::vector<uint32_t> unused;
        List("croptop", crop_, unused);
    }

    // The picture path of the text in [from, to) (see PicturePathOf) as its range [p, end);
    // false when there is none.
    bool PicturePath(size_t from, size_t to, size_t& p, size_t& end) const {
        if (!Path(file3_, quote3_, 8, from, to, p, end))
            return Path(file2_, quote2_, 7, from, to, p, end);
        return true;
    }

    bool HasCropTop(size_t from, size_t to) const {
        const auto it = std::lower_bound(crop_.begin(), crop_.end(), from);
        return it != crop_.end() && *it + 7 <= to;
    }

    // The path text [p, end), sharing its bytes with every other path that ends at the same
    // double quote: such paths are suffixes of the text behind the quote before it.
    SharedPath Share(size_t p, size_t end) {
        if (end >= text_.size() || text_[end] != '"') {
            return SharedPath{std::make_shared<const std::string>(text_, p, end - p), 0};
        }
        auto& seg = segments_[end];
        if (!seg.first) {
            const size_t before = text_.rfind('"', end == 0 ? 0 : end - 1);
            const size_t start = before == std::string::npos || before >= end ? 0 : before + 1;
            seg.first = std::make_shared<const std::string>(text_, start, end - start);
            seg.second = start;
        }
        return SharedPath{seg.first, static_cast<uint32_t>(p - seg.second)};
    }

  private:
    void List(const char* needle, std::vector<uint32_t>& at, std::vector<uint32_t>& quote) {
        size_t q = text_.find('"');
        for (size_t a = text_.find(needle); a != std::string::npos; a = text_.find(needle, a + 1)) {
            at.push_back(static_cast<uint32_t>(a));
            if (q != std::string::npos && q < a) q = text_.find('"', a);
            quote.push_back(q == std::string::npos ? UINT32_MAX : static_cast<uint32_t>(q));
        }
    }

    static bool Path(const std::vector<uint32_t>& at, const std::vector<uint32_t>& quote, size_t n,
                     size_t from, size_t to, size_t& p, size_t& end) {
        const auto it = std::lower_bound(at.begin(), at.end(), from);
        if (it == at.end() || *it + n > to) return false;
        p = *it;
        end = std::min<size_t>(quote[it - at.begin()], to);
        return true;
    }

    const std::string& text_;
    std::vector<uint32_t> file3_, quote3_, file2_, quote2_, crop_;
    // Closing quote -> the text between it and the quote before, and where that text starts.
    std::unordered_map<size_t, std::pair<std::shared_ptr<const std::string>, size_t>> segments_;
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
    std::unique_ptr<RangeSearch> ranges;
    if (lookup) ranges.reset(new RangeSearch(vml));
    std::unique_ptr<WorkingText> doc;
    for (const HtmlElements::Element& shape : shapes.elements) {
        HtmlNode node;
        node.text = shape.text;
        node.tagName = "vshape";
        node.isTag = true;
        const std::string id = node.Parsed().attribute("id").second;
        size_t from = 0;
        size_t to = 0;
        if (lookup && lookup->ElementRange(shape.text, shape.closingText, from, to)) {
            size_t p = 0;
            size_t end = 0;
            if (!ranges->PicturePath(from, to, p, end)) continue;
            const std::string_view path = std::string_view(vml).substr(p, end - p);
            if (EndsWith(path, ".wmz") || EndsWith(path, ".WMZ")) formulas_.insert(id);
            if (EndsWith(path, ".png") || EndsWith(path, ".PNG")) {
                if (ranges->HasCropTop(from, to)) cropped_.insert(id);
                if (pictures_.count(id) == 0) pictures_.emplace(id, ranges->Share(p, end));
            }
            continue;
        }
        std::string element;
        if (!doc) doc.reset(new WorkingText(vml, literal, {"vshape"}));
        doc->ElementText(std::string(shape.text), std::string(shape.closingText), element);
        const std::string path = PicturePathOf(element);
        if (EndsWith(path, ".wmz") || EndsWith(path, ".WMZ")) formulas_.insert(id);
        if (EndsWith(path, ".png") || EndsWith(path, ".PNG")) {
            if (element.find("croptop") != std::string::npos) cropped_.insert(id);
            if (pictures_.count(id) == 0) {
                pictures_.emplace(id, SharedPath{std::make_shared<const std::string>(path), 0});
            }
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
    path = it == pictures_.end() ? std::string() : it->second.text->substr(it->second.from);
    return it != pictures_.end();
}
