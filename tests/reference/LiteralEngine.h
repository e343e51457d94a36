// The reference engine of the conversion: every operation done literally, step by step on the
// plain string, as the rules read (restarting searches, htmlcxx's own DOM parser, each shape's
// element text read out). Slow on large input; the tests and the fuzz target run the shipped
// steps on it and compare with the converter's own engine.
#pragma once

#include <string>

#include "Office/TextEngine.h"

namespace reference {

// ReplaceAll and StripBlocks of Office/TextOps.h, each occurrence found by a new search from
// the beginning.
void ReplaceAll(std::string& text, const std::string& searched, const std::string& replacement);
void StripBlocks(std::string& text, const std::string& start, const std::string& end, bool keep);

}  // namespace reference

const TextEngine& LiteralTextEngine();
