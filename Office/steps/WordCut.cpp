// The Word cut: the copied fragment lies between the fragment comments; text before the first
// tag behind the start comment is dropped with the header.
#include "Office/steps/Steps.h"

void CutWordFragment(std::string& text) {
    size_t a = text.find("<!--StartFragment-->");
    if (a == std::string::npos) a = text.find("<!--StartFragment -->");
    if (a == std::string::npos) return;
    size_t b = text.find('<', a + 1);
    if (b == std::string::npos) b = a + 20;
    const size_t e = text.find("<!--EndFragment-->", b + 1);
    if (e == std::string::npos) return;
    // Cut in place: a copy would map and fault in a second text as large as the first.
    text.erase(e);
    text.erase(0, b);
}
