// The working text as the tag pass edits it. Every edit is a whole-text operation on texts the
// DOM parser reported (a tag's text, an element's text), so done literally each one rescans the
// text. When the text is "clean" — every '<' in it starts a tag or a comment — each such text
// can only occur at the start of a tag, and the edits become operations on a list of tags with
// an index from tag text to its occurrences. A text that is not clean, or an edit the tag list
// cannot do exactly, continues on the plain string with the very same results.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TokenText;

// A tag text that the parser cuts the same way wherever it stands: "<" and a letter (or "</"
// and a letter), no other "<", every quoted value closed, ending at its first unquoted ">".
// Wherever such a text occurs at the start of one of the parser's tags, it is that whole tag.
bool SelfDelimitedTag(std::string_view tag);

class WorkingText {
  public:
    // `literal`: every operation is done step by step on the string (the reference behaviour).
    // `names`: the only tag names (case ignored) whose texts the caller searches for; only
    // those tags are indexed, and any other text is searched on the plain string. Empty: all.
    WorkingText(std::string text, bool literal, const std::vector<std::string>& names = {});
    ~WorkingText();
    WorkingText(const WorkingText&) = delete;
    WorkingText& operator=(const WorkingText&) = delete;

    bool Contains(const std::string& x);
    void ReplaceAll(const std::string& x, const std::string& y);
    // Removes every `start` ... `end` pair, keeping what lies between.
    void StripBlocks(const std::string& start, const std::string& end);
    // The text from the first `open` through the end of the first `close` at or after it. False
    // when `open` does not occur or `close` does not follow; an empty `close` gives "".
    bool ElementText(const std::string& open, const std::string& close, std::string& text);
    // The same, only when that text contains `needle` (which holds no "<" or ">"): false, and
    // `text` empty, otherwise. Elements without it are not read, so that nested elements,
    // whose texts nest, cost no more than their tags.
    bool ElementTextWith(const std::string& open, const std::string& close,
                         const std::string& needle, std::string& text);
    // Removes that text once.
    void EraseElement(const std::string& open, const std::string& close);
    // Removes `length` bytes from the first occurrence of `x` on.
    void EraseFrom(const std::string& x, size_t length);
    // Whether the first `close` found from the first `open` starts right behind it.
    bool ClosesRightAfter(const std::string& open, const std::string& close);

    // Whether the edits still run on the tag list (for tests and diagnostics).
    bool OnTags() const { return tokens_ != nullptr; }
    // Writes the text into `out` (whose buffer is reused when large enough).
    void Take(std::string& out);

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
    bool literal_;
    std::vector<std::string> names_;
    unsigned plainEdits_ = 0;
    bool retokenize_ = true;
};
