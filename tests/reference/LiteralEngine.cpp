#include "reference/LiteralEngine.h"

#include <memory>
#include <utility>

#include "Office/WordFormula.h"
#include "reference/DomTree.h"

namespace {

const std::string::size_type npos = std::string::npos;

// The text from the first `open` through the end of the first `close` at or after it. False
// when `open` does not occur or `close` does not follow; an empty `close` gives "".
bool FindElementText(const std::string& in, const std::string& open, const std::string& close,
                     std::string& text) {
    text.clear();
    const size_t a = in.find(open);
    if (a == npos) return false;
    if (close.empty()) return true;
    const size_t c = in.find(close, a);
    if (c == npos) return false;
    text = in.substr(a, c + close.size() - a);
    return true;
}

class LiteralText : public TagPassText {
  public:
    explicit LiteralText(std::string text) : text_(std::move(text)) {}

    bool Contains(const std::string& x) override { return text_.find(x) != npos; }
    void ReplaceAll(const std::string& x, const std::string& y) override {
        reference::ReplaceAll(text_, x, y);
    }
    void StripBlocks(const std::string& start, const std::string& end) override {
        reference::StripBlocks(text_, start, end, true);
    }
    bool ElementTextWith(const std::string& open, const std::string& close,
                         const std::string& needle, std::string& text) override {
        if (!FindElementText(text_, open, close, text)) return false;
        if (text.find(needle) != npos) return true;
        text.clear();
        return false;
    }
    void EraseElement(const std::string& open, const std::string& close) override {
        const size_t a = text_.find(open);
        if (a == npos || close.empty()) return;
        const size_t c = text_.find(close, a);
        if (c == npos) return;
        text_.erase(a, c + close.size() - a);
    }
    void EraseFrom(const std::string& x, size_t length) override {
        const size_t a = text_.find(x);
        if (a != npos) text_.erase(a, length);
    }
    bool ClosesRightAfter(const std::string& open, const std::string& close) override {
        if (close.empty()) return false;
        const size_t a = text_.find(open);
        if (a == npos) return false;
        return text_.find(close, a) == a + open.size();
    }
    void Take(std::string& out) override { out.swap(text_); }

  private:
    std::string text_;
};

class ElementShape : public VmlShape {
  public:
    ElementShape(std::string_view open, const std::string& element)
        : open_(open), element_(element), path_(PicturePathOf(element)) {}

    std::string_view OpeningText() const override { return open_; }
    bool PicturePath(std::string_view& path) const override {
        path = path_;
        return !path_.empty();
    }
    bool CroppedAtTop() const override { return element_.find("croptop") != npos; }
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
                    std::string&) const override {
        reference::ReplaceAll(text, searched, replacement);
    }
    void StripBlocks(std::string& text, const std::string& start, const std::string& end, bool keep,
                     std::string&) const override {
        reference::StripBlocks(text, start, end, keep);
    }
    HtmlTree BuildTree(const std::string& html) const override {
        return BuildHtmlTreeWithDom(html);
    }
    std::unique_ptr<TagPassText> EditTags(std::string text,
                                          const std::vector<std::string>&) const override {
        return std::make_unique<LiteralText>(std::move(text));
    }
    void VisitShapes(const std::string& vml, VmlShapeVisitor& visitor) const override {
        const HtmlTree tree = BuildHtmlTreeWithDom(vml);
        std::string element;
        for (size_t i = 0; i < tree.nodes.size(); ++i) {
            const HtmlNode node = tree.nodes[i];
            if (!node.isTag || node.tagName != "vshape") continue;
            FindElementText(vml, std::string(node.text), std::string(node.closingText), element);
            visitor.Visit(ElementShape(node.text, element));
        }
    }
};

}  // namespace

namespace reference {

void ReplaceAll(std::string& text, const std::string& searched, const std::string& replacement) {
    if (searched.empty() || searched == replacement) return;
    if (replacement.find(searched) != npos) {
        // Restarting would never end: each occurrence of the original text once.
        size_t pos = 0;
        for (size_t q; (q = text.find(searched, pos)) != npos; pos = q + replacement.size()) {
            text.replace(q, searched.size(), replacement);
        }
        return;
    }
    for (size_t q; (q = text.find(searched)) != npos;)
        text.replace(q, searched.size(), replacement);
}

void StripBlocks(std::string& text, const std::string& start, const std::string& end, bool keep) {
    if (start.empty() || end.empty()) return;
    size_t p = text.find(start);
    while (p != npos) {
        const size_t c = text.find(end, p);
        if (c == npos) return;
        const size_t inner = p + start.size();
        const std::string content = keep && c > inner ? text.substr(inner, c - inner) : "";
        text.replace(p, c + end.size() - p, content);
        p = text.find(start);
    }
}

}  // namespace reference

const TextEngine& LiteralTextEngine() {
    static const Engine engine;
    return engine;
}
