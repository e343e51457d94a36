// Paragraphs: Word's normal paragraphs (class MsoNormal) get a fixed inline style in place of
// the class, which the page's stylesheet does not know. A bare "<p class=MsoNormal>" is
// rewritten over the whole text first; the tag pass then rewrites each one with attributes,
// keeping its own style behind the fixed declarations, where it takes precedence.
#include <htmlcxx/html/Node.h>

#include <iterator>

#include "Office/steps/Steps.h"

namespace {

const char* const kDeclarations[] = {"text-justify: inter-ideograph", "text-align: justify",
                                     "margin: 0cm 0cm 0pt", "font-family: 'Times New Roman'",
                                     "font-size: 10.5pt"};
const size_t kTextAlign = 1;

// The declarations joined by "; ".
std::string BareParagraphTag() {
    std::string tag = "<p style=\"";
    for (size_t i = 0; i < std::size(kDeclarations); ++i) {
        if (i > 0) tag += "; ";
        tag += kDeclarations[i];
    }
    return tag + "\">";
}

// Each declaration closed by ";" (the alignment left out when the paragraph's own style sets
// one), then the paragraph's own style. Its other attributes (alignment, language) are dropped.
std::string RestyledParagraphTag(const std::string& style) {
    std::string tag = "<p style=\"";
    for (size_t i = 0; i < std::size(kDeclarations); ++i) {
        if (i == kTextAlign && style.find("text-align") != std::string::npos) continue;
        tag += kDeclarations[i];
        tag += ';';
    }
    return tag + style + "\">";
}

}  // namespace

void RestyleBareParagraphs(Conversion& c) {
    static const std::string kBareTag = BareParagraphTag();
    c.ReplaceAll("<p class=MsoNormal>", kBareTag);
}

void RestyleParagraph(Conversion& c, const htmlcxx::HTML::Node& p) {
    const auto cls = p.attribute("class");
    if (!cls.first || cls.second != "MsoNormal") return;
    c.tags->ReplaceAll(p.text(), RestyledParagraphTag(p.attribute("style").second));
}
