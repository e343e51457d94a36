// The converter's text engine: the one-scan text operations of Office/TextOps.h, the linear
// tree builder, the tag list of Office/WorkingText.h and a shape scan that answers each shape's
// searches from lists made once.
#include <algorithm>
#include <cctype>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "Office/HtmlTree.h"
#include "Office/TextEngine.h"
#include "Office/TextOps.h"
#include "Office/TokenText.h"
#include "Office/WordFormula.h"
#include "Office/WorkingText.h"

namespace {

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

// A shape whose element text lies at [from, to) of the VML document; `from` == `to` when
// there is none.
class RangeShape : public VmlShape {
  public:
    RangeShape(std::string_view open, const std::string& vml, RangeSearch& ranges, size_t from,
               size_t to)
        : open_(open), vml_(vml), ranges_(ranges), from_(from), to_(to) {}

    std::string_view OpeningText() const override { return open_; }
    bool PicturePath(std::string_view& path) const override {
        size_t p = 0;
        size_t end = 0;
        if (!ranges_.PicturePath(from_, to_, p, end)) return false;
        path = std::string_view(vml_).substr(p, end - p);
        return true;
    }
    bool CroppedAtTop() const override { return ranges_.HasCropTop(from_, to_); }
    SharedPath KeepPath() const override {
        size_t p = 0;
        size_t end = 0;
        ranges_.PicturePath(from_, to_, p, end);
        return ranges_.Share(p, end);
    }

  private:
    std::string_view open_;
    const std::string& vml_;
    RangeSearch& ranges_;
    size_t from_;
    size_t to_;
};

// A shape whose element text was read out.
class TextShape : public VmlShape {
  public:
    TextShape(std::string_view open, const std::string& element)
        : open_(open), element_(element), path_(PicturePathOf(element)) {}

    std::string_view OpeningText() const override { return open_; }
    bool PicturePath(std::string_view& path) const override {
        path = path_;
        return !path_.empty();
    }
    bool CroppedAtTop() const override { return element_.find("croptop") != std::string::npos; }
    SharedPath KeepPath() const override {
        return SharedPath{std::make_shared<const std::string>(path_), 0};
    }

  private:
    std::string_view open_;
    const std::string& element_;
    std::string path_;
};

class Engine : public TextEngine {
  public:
    void ReplaceAll(std::string& text, const std::string& searched, const std::string& replacement,
                    std::string& scratch) const override {
        ::ReplaceAll(text, searched, replacement, scratch);
    }
    void StripBlocks(std::string& text, const std::string& start, const std::string& end, bool keep,
                     std::string& scratch) const override {
        ::StripBlocks(text, start, end, keep, scratch);
    }
    HtmlTree BuildTree(const std::string& html) const override { return BuildHtmlTree(html); }
    HtmlTree BuildElementTree(const std::string& html) const override {
        return BuildHtmlElementTree(html);
    }
    std::unique_ptr<TagPassText> EditTags(std::string text,
                                          const std::vector<std::string>& names) const override {
        return std::make_unique<WorkingText>(std::move(text), names);
    }
    std::unique_ptr<TagPassText> EditTagsOver(
        std::string_view text, const std::vector<std::string>& names) const override {
        return std::make_unique<WorkingText>(WorkingText::Over{text}, names);
    }

    // The shapes as the document tree has them, found by the same rules without building it.
    // The text is only searched, never edited: the lists answer the searches when they can.
    void VisitShapes(const std::string& vml, VmlShapeVisitor& visitor) const override {
        const HtmlElements shapes = FindHtmlElements(vml, "vshape");
        const ShapeElements lookup(vml, shapes);
        RangeSearch ranges(vml);
        std::unique_ptr<WorkingText> doc;
        std::string element;
        for (const HtmlElements::Element& shape : shapes.elements) {
            size_t from = 0;
            size_t to = 0;
            if (lookup.ElementRange(shape.text, shape.closingText, from, to)) {
                visitor.Visit(RangeShape(shape.text, vml, ranges, from, to));
                continue;
            }
            if (!doc) doc.reset(new WorkingText(WorkingText::Over{vml}, {"vshape"}));
            doc->ElementText(std::string(shape.text), std::string(shape.closingText), element);
            visitor.Visit(TextShape(shape.text, element));
        }
    }
};

}  // namespace

const TextEngine& DefaultTextEngine() {
    static const Engine engine;
    return engine;
}
