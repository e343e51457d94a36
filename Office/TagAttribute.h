// One attribute of a tag text, read by the rules of htmlcxx's attribute parser (names
// lower-cased, the first of a repeated name kept, quoted values trimmed of blanks, an unclosed
// quote ending at the next blank or ">") without building the map of every attribute: a VML
// shape's tag runs to hundreds of bytes and only its id is asked for.
#pragma once

#include <string>
#include <string_view>

// Whether the tag text has the attribute `name` (lower case); `value` gets its value, or stays
// empty.
bool TagAttribute(std::string_view tag, std::string_view name, std::string& value);
