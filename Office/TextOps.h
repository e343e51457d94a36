// Text helpers of the Word conversion. The working text is a UTF-8 byte string rewritten in
// place; every search is a plain byte search.
#pragma once

#include <string>

// The text just behind the FIRST `start` up to the first `end` behind it (to the end of
// `source` when `end` does not follow). `out` is cleared first; answers whether it is non-empty.
bool TextBetween(const std::string& source, const std::string& start, const std::string& end,
                 std::string& out);
// The same from the LAST `start`.
bool TextBetweenLast(const std::string& source, const std::string& start, const std::string& end,
                     std::string& out);

// Replaces the first occurrence of `searched`, searching again from the beginning after every
// replacement, until none is left: a replacement that joins two pieces into a new occurrence
// replaces that one too. Runs in time linear in the text for fixed markers. A replacement that
// contains `searched` would never finish that way; it is done in one left-to-right pass instead.
// An empty `searched` changes nothing. Answers whether anything was replaced.
bool ReplaceAll(std::string& text, const std::string& searched, const std::string& replacement);

// ReplaceAll for texts taken from the input (attribute values), where a hostile pair could
// keep regrowing occurrences: after 2 x (text + replacement size) + 1024 replacements the rest
// stays as it is.
bool ReplaceAllBounded(std::string& text, const std::string& searched,
                       const std::string& replacement);

// Removes every `start` ... `end` pair: takes the first `start`, the first `end` at or after its
// position, and replaces both markers and what lies between by that text (keep) or by nothing;
// then searches again from the beginning. A `start` without an `end` behind it stops the whole
// operation and leaves the rest unchanged. Empty markers change nothing.
void StripBlocks(std::string& text, const std::string& start, const std::string& end, bool keep);

// Edits that shrink the text (a replacement no longer than the searched text, a block removal)
// are done in place. A growing replacement builds its result in `scratch` (left holding the
// old text): a caller that runs many steps on a large text reuses one buffer instead of mapping
// fresh pages for each step.
bool ReplaceAll(std::string& text, const std::string& searched, const std::string& replacement,
                std::string& scratch);
void StripBlocks(std::string& text, const std::string& start, const std::string& end, bool keep,
                 std::string& scratch);
