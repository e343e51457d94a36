// Where CF_HTML text was copied from, told by the value of its "SourceURL:" header line (the
// text up to "<html", trimmed, case ignored).
#pragma once

#include <string>

// A ".doc" or ".docx" source; text without a SourceURL: value counts as Word when it holds
// "StartHTML".
bool IsWordSource(const std::string& text);
// A ".xls" or ".xlsx" source; never without a SourceURL: value.
bool IsExcelSource(const std::string& text);
