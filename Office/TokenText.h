// The working text of the tag pass as a list of the parser's tokens, indexed by tag text: the
// edits of the tag pass done on tags instead of rescanning the text (Office/WorkingText.h).
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "Office/HtmlTree.h"

// A tag text that the parser cuts the same way wherever it stands: "<" and a letter (or "</"
// and a letter), no other "<", every quoted value closed, ending at its first unquoted ">".
// Wherever such a text occurs at the start of one of the parser's tags, it is that whole tag.
bool SelfDelimitedTag(std::string_view tag);

// The working text as a linked list of the parser's tokens; tag tokens are indexed by text.
// Tokens keep their document order through every edit (a replaced run keeps the number of its
// first token), so "first occurrence" is "lowest live token number".
class TokenText {
  public:
    static constexpr uint32_t kNone = UINT32_MAX;

    // Its texts view the original text, which must not move.
    TokenText(const TokenText&) = delete;
    TokenText& operator=(const TokenText&) = delete;

    // Takes the text over (its buffer stays where it is); gives it back when the tag list cannot
    // hold it.
    static std::unique_ptr<TokenText> Create(std::string& text,
                                             const std::vector<std::string>& names);
    // The same over a text the caller keeps, unchanged, for as long as the tag list lives:
    // null when the tag list cannot hold it.
    static std::unique_ptr<TokenText> CreateOver(std::string_view text,
                                                 const std::vector<std::string>& names);

    // Each operation answers false, changing nothing, when it cannot be done exactly here.
    bool Contains(const std::string& x, bool& found);

    bool ReplaceAll(const std::string& x, const std::string& y);

    bool StripBlocks(const std::string& s, const std::string& e);

    bool ElementText(const std::string& open, const std::string& close, bool& found,
                     std::string& text);

    // ElementText, when that text holds `needle`; `found` is false otherwise. The watched tokens
    // answer whether it does without reading the element.
    bool ElementTextWith(const std::string& open, const std::string& close,
                         const std::string& needle, bool& found, std::string& text);

    bool EraseElement(const std::string& open, const std::string& close);

    bool EraseFrom(const std::string& x, size_t length);

    bool ClosesRightAfter(const std::string& open, const std::string& close, bool& result);

    void Take(std::string& out);

    // Take, written into `holder`, the string whose bytes the original text is (CreateOver), by
    // moving the tokens inside it: no second buffer of the text's size. False, with `holder`
    // unchanged, when the result is longer than `holder`. Afterwards the tag list may only be
    // destroyed.
    bool TakeInPlace(std::string& holder);

  private:
    // 12 bytes: a Word text has a token per 30 bytes or so.
    struct Tok {
        uint32_t offset;
        uint32_t length : 31;  // the tag list holds texts below 2 GiB
        uint32_t alive : 1;
        int32_t override;  // index into overrides_, -1 while the token is the original text
    };
    struct Entry {
        std::vector<uint32_t> ids;  // original tokens with this text, in order
        size_t cursor = 0;          // ids before it are no longer live with this text
        // Tokens that got this text by an edit. Most texts of a Word document occur once and
        // never get one, so the set is made with the first.
        std::unique_ptr<std::set<uint32_t>> added;
        // Over positions in ids: a position known dead points further on (a union-find
        // forest, path-compressed), so that searches from a token skip each dead one once.
        std::vector<uint32_t> skip;
    };
    // The tokens in which an occurrence of one needle starts (running on into the tokens behind
    // when it must), kept up to date through every edit.
    struct Watched {
        std::string needle;
        std::vector<uint8_t> inside;  // per token: its text holds the needle
        std::set<uint32_t> hot;       // live tokens where an occurrence starts
        // Per token: it is in `hot`. Most tokens never are, and asking the set to erase what it
        // does not hold costs a walk of a tree as large as the document.
        std::vector<uint8_t> inHot;
    };

    TokenText() = default;

    // Cuts the text into tokens straight from the scan (no intermediate token lists).
    bool Build();

    void Push(const HtmlToken& tok);

    // A text whose every occurrence is a tag token: self-delimited, and not one of the tags
    // written inside a comment or a text.
    bool Indexed(const std::string& x) const;

    // Whether tags of this text's name are indexed (all of them when no names were given).
    bool Wanted(std::string_view tag) const;

    // Cuts a text or comment token at the tags written inside it (a comment such as
    // "<!--[if supportFields]><span ...>" holds tags the edits also find), so that every "<"
    // that could start a tag text starts a piece. False when such a tag runs out of the token
    // or a "<" could start one once the piece behind it is removed.
    bool SplitInnerTags(const HtmlToken& tok);

    // Looks at every "<" inside a token that is not a tag's own: a tag text that could start
    // there goes into shadowed_. False when one could start there but runs out of the token,
    // where later edits could change what follows it.
    bool NoteInnerTags(const HtmlToken& tok);

    std::string_view Text(uint32_t id) const;

    bool Live(uint32_t id, const std::string& x) const { return toks_[id].alive && Text(id) == x; }

    void Kill(uint32_t id);

    void SetText(uint32_t id, const std::string& y);

    uint32_t First(const std::string& x);

    // The first live token with text x whose number is above `after`.
    uint32_t FirstAfter(const std::string& x, uint32_t after);

    static size_t SkipDead(std::vector<uint32_t>& skip, size_t k);

    void Watch(const std::string& needle);

    // Whether an occurrence of the watched needle starts in this token: inside it, or in its
    // last bytes running on into the live tokens behind it.
    void UpdateHot(uint32_t id);

    // After an edit at `id`: the tokens before it whose last bytes may run on into it.
    void UpdateHotBefore(uint32_t id);

    // Every live token with text x, in order.
    std::vector<uint32_t> All(const std::string& x);

    bool Element(const std::string& open, const std::string& close, bool& found, uint32_t& a,
                 uint32_t& c);

    // Splits a text into its tags; false unless it is nothing but self-delimited tags and text
    // without "<", starting with a tag.
    static bool SplitTags(const std::string& x, std::vector<std::string>& tags);

    // Whether the live tokens from `id` on spell exactly x; `run` gets them.
    bool RunEquals(uint32_t id, const std::string& x, std::vector<uint32_t>& run) const;

    // Removes every `open` directly followed by `close`; a removal that brings another such
    // pair together removes that one too.
    bool RemovePairs(const std::string& open, const std::string& close);

    // TakeInPlace's moves, inside a buffer that holds the result.
    void MoveInPlace(char* holder);

    std::string owned_;      // the text, when the tag list took it over
    std::string_view base_;  // the original text: owned_, or the caller's
    std::vector<Tok> toks_;
    std::vector<uint32_t> next_;
    std::vector<uint32_t> prev_;
    uint32_t head_ = kNone;
    std::deque<std::string> overrides_;  // a deque: the index keeps views of its texts
    // Keys view base_ or overrides_.
    std::unordered_map<std::string_view, Entry> index_;
    std::set<std::string> shadowed_;
    std::unique_ptr<Watched> watch_;
    std::vector<std::string> names_;  // the tag names indexed; empty: all
};
