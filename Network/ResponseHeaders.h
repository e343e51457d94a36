// Reading the raw header block of a response (status line and header lines).
#pragma once

#include <map>
#include <string>

// The upload client's header map: every non-empty line cut at each ":"; a line with more than
// one piece maps its first piece to its second, so a value keeps its leading blank and ends at
// its next colon. A name seen again keeps its first value. Names are case-sensitive.
std::map<std::string, std::string> ParseResponseHeaders(const std::string& raw);

// The whole value of the first header line named `name` (letter case ignored), without the
// blanks around it; false when there is no such line.
bool FindResponseHeader(const std::string& raw, const std::string& name, std::string* value);
