// The working text as the tag pass edits it. Every edit is a whole-text operation on texts the
// DOM parser reported (a tag's text, an element's text), so done on the string each one rescans
// the text. When the text is "clean" — every '<' in it starts a tag or a comment — each such
// text can only occur at the start of a tag, and the edits become operations on a list of tags
// with an index from tag text to its occurrences (Office/TokenText.h). A text that is not
// clean, or an edit the tag list cannot do exactly, continues on the plain string with the very
// same results.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Office/TextEngine.h"

class TokenText;

class WorkingText : public TagPassText {
  public:
    // `names`: the only tag names (case ignored) whose texts the caller searches for; only
    // those tags are indexed, and any other text is searched on the plain string. Empty: all.
    explicit WorkingText(std::string text, const std::vector<std::string>& names = {});
    // Over a text the caller keeps, unchanged, for as long as this lives (the document tree's
    // text, say): the edits go to the tag list, and only a text it cannot hold is copied.
    struct Over {
        std::string_view text;
    };
    WorkingText(Over original, const std::vector<std::string>& names);
    ~WorkingText() override;
    WorkingText(const WorkingText&) = delete;
    WorkingText& operator=(const WorkingText&) = delete;

    bool Contains(const std::string& x) override;
    void ReplaceAll(const std::string& x, const std::string& y) override;
    void StripBlocks(const std::string& start, const std::string& end) override;
    // The text from the first `open` through the end of the first `close` at or after it. False
    // when `open` does not occur or `close` does not follow; an empty `close` gives "".
    bool ElementText(const std::string& open, const std::string& close, std::string& text);
    // Elements without `needle` are not read, so that nested elements, whose texts nest, cost
    // no more than their tags.
    bool ElementTextWith(const std::string& open, const std::string& close,
                         const std::string& needle, std::string& text) override;
    void EraseElement(const std::string& open, const std::string& close) override;
    void EraseFrom(const std::string& x, size_t length) override;
    bool ClosesRightAfter(const std::string& open, const std::string& close) override;

    // Whether the edits still run on the tag list (for tests and diagnostics).
    bool OnTags() const { return tokens_ != nullptr; }
    void Take(std::string& out) override;
    void TakeOver(std::string& holder) override;

  private:
    // Every plain search and edit reads the whole text, so after a few of them (an edit the
    // tag list could not do, such as one for a tag with a "<" in an attribute value) the text
    // goes back onto a new tag list: one such tag does not make every later edit a rescan.
    static constexpr unsigned kPlainEditsBeforeRetokenize = 8;

    void ToPlain();
    // Leaves the tag list for one plain search or edit.
    void Plain();
    void Retokenize();

    std::unique_ptr<TokenText> tokens_;
    std::string text_;
    std::vector<std::string> names_;
    unsigned plainEdits_ = 0;
    bool retokenize_ = true;
};
