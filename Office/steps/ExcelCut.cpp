// The Excel cut: the copied table, whose end-fragment comment a spreadsheet places inside the
// table, before its own closing tag.
#include "Office/steps/Steps.h"

void CutExcelTable(std::string& text) {
    const size_t a = text.find("<table");
    if (a == std::string::npos) return;
    const size_t e = text.find("<!--EndFragment-->", a + 1);
    if (e == std::string::npos) return;
    const size_t t = text.find("</table>", e);
    if (t == std::string::npos) return;
    text.erase(t + 8);
    text.erase(0, a);
}
