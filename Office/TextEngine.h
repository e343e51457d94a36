// The text machinery under the conversion's steps: whole-text replacements and block removals,
// the document tree, the edits of the tag pass and the reading of the VML shapes. The steps
// say what to change; an engine does the searching. The converter's own engine
// (DefaultTextEngine) answers each operation exactly as the plain step-by-step searches of the
// rules would, in time linear in the text.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Office/HtmlTree.h"

// The working text of the tag pass: every operation searches it for texts the DOM parser
// reported (a tag's text, an element's text), as a plain search of the string would.
class TagPassText {
  public:
    virtual ~TagPassText() = default;

    virtual bool Contains(const std::string& x) = 0;
    virtual void ReplaceAll(const std::string& x, const std::string& y) = 0;
    // Removes every `start` ... `end` pair, keeping what lies between.
    virtual void StripBlocks(const std::string& start, const std::string& end) = 0;
    // The text from the first `open` through the end of the first `close` at or after it, when
    // that text contains `needle` (which holds no "<" or ">"): false, and `text` empty,
    // otherwise, also when `open` does not occur or `close` does not follow.
    virtual bool ElementTextWith(const std::string& open, const std::string& close,
                                 const std::string& needle, std::string& text) = 0;
    // Removes the text from the first `open` through the end of the first `close` at or after
    // it, once; nothing when `close` is empty or missing.
    virtual void EraseElement(const std::string& open, const std::string& close) = 0;
    // Removes `length` bytes from the first occurrence of `x` on.
    virtual void EraseFrom(const std::string& x, size_t length) = 0;
    // Whether the first `close` found from the first `open` starts right behind it.
    virtual bool ClosesRightAfter(const std::string& open, const std::string& close) = 0;
    // Writes the text into `out` (whose buffer is reused when large enough).
    virtual void Take(std::string& out) = 0;
    // Writes the text into `holder`, the string whose bytes the working text was made over
    // (TextEngine::EditTagsOver), in its own buffer where the engine can; nothing but
    // destruction may follow.
    virtual void TakeOver(std::string& holder) {
        std::string out;
        Take(out);
        holder.swap(out);
    }
};

// A picture path as the end of a shared text: nested shapes that find the same picture share
// its bytes instead of each holding a copy.
struct SharedPath {
    std::shared_ptr<const std::string> text;
    uint32_t from;

    std::string Text() const { return text->substr(from); }
};

// One "vshape" element of a VML document as the shape scan sees it.
class VmlShape {
  public:
    virtual ~VmlShape() = default;
    // Its opening-tag text.
    virtual std::string_view OpeningText() const = 0;
    // Whether its element text (from the first occurrence of its opening-tag text through the
    // end of the first occurrence of its closing-tag text behind it) is there and holds a
    // picture path (PicturePathOf); `path` is that path.
    virtual bool PicturePath(std::string_view& path) const = 0;
    // Whether that element text holds "croptop".
    virtual bool CroppedAtTop() const = 0;
    // The path of PicturePath, kept for the shape tables.
    virtual SharedPath KeepPath() const = 0;
};

class VmlShapeVisitor {
  public:
    virtual ~VmlShapeVisitor() = default;
    virtual void Visit(const VmlShape& shape) = 0;
};

class TextEngine {
  public:
    virtual ~TextEngine() = default;

    // ReplaceAll and StripBlocks of Office/TextOps.h, on the whole working text.
    virtual void ReplaceAll(std::string& text, const std::string& searched,
                            const std::string& replacement, std::string& scratch) const = 0;
    virtual void StripBlocks(std::string& text, const std::string& start, const std::string& end,
                             bool keep, std::string& scratch) const = 0;
    // The tree htmlcxx's DOM parser builds of `html` (which the tree views).
    virtual HtmlTree BuildTree(const std::string& html) const = 0;
    // Its root and element nodes (ElementsOf).
    virtual HtmlTree BuildElementTree(const std::string& html) const {
        return ElementsOf(BuildTree(html));
    }
    // The tag pass's working text. `names`: the only tag names (case ignored) whose texts the
    // caller searches for; other texts may be searched more slowly. Empty: all.
    virtual std::unique_ptr<TagPassText> EditTags(std::string text,
                                                  const std::vector<std::string>& names) const = 0;
    // The same over a text the caller keeps, unchanged, while the working text lives (the
    // text the tree views): the engine may read it in place instead of taking a copy.
    virtual std::unique_ptr<TagPassText> EditTagsOver(std::string_view text,
                                                      const std::vector<std::string>& names) const {
        return EditTags(std::string(text), names);
    }
    // Calls the visitor for every node of the tree of `vml` whose tag name is exactly "vshape",
    // in document order. `vml` is never edited meanwhile.
    virtual void VisitShapes(const std::string& vml, VmlShapeVisitor& visitor) const = 0;
};

// The converter's engine.
const TextEngine& DefaultTextEngine();
