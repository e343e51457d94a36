// Whole-text replacement with restart semantics: every occurrence of `from` is replaced by `to`,
// each search starting again at the beginning, so that a replacement which joins two pieces
// into a new occurrence replaces that one too. Computed in one pass (time linear in the text
// and the inserted bytes), without rescanning the text per replacement.
#pragma once

#include <string>

namespace quillon {
namespace css {

// Does nothing when `from` is empty or equals `to`. When `to` contains `from`, restarting would
// never end: every occurrence of the original text is then replaced once, left to right.
// Answers whether anything was replaced.
bool ReplaceAllText(std::string& text, const std::string& from, const std::string& to);

}  // namespace css
}  // namespace quillon
