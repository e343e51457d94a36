// The rules of the conversion, one file each in this folder; WordPipeline runs them in order.
#pragma once

#include <string>

#include "Office/HtmlTree.h"
#include "Office/steps/Conversion.h"

namespace htmlcxx {
namespace HTML {
class Node;
}
}  // namespace htmlcxx

// The cut (WordCut.cpp, ExcelCut.cpp): the copied part of the CF_HTML text, in place. Word:
// from the first tag behind the start-fragment comment up to the end-fragment comment. Excel:
// the copied table, from its "<table" through the "</table>" behind the end-fragment comment.
// Missing markers leave the text as it is.
void CutWordFragment(std::string& text);
void CutExcelTable(std::string& text);

// The stylesheet of the uncut text, for the class styles inlined later (ClassStyles.cpp).
void LoadClassStyles(Conversion& c);

// Office markup (OfficeMarkup.cpp): empty and wrapping <o:p> elements.
void RemoveOfficeMarkup(Conversion& c);

// Paragraphs (Paragraphs.cpp): a bare "<p class=MsoNormal>" gets the fixed paragraph style.
void RestyleBareParagraphs(Conversion& c);

// VML shapes and formulas (VmlShapes.cpp): the shape tables read from the VML blocks, before
// ResolveConditionalComments opens them; then the VML names the tag pass looks for.
void ScanShapes(Conversion& c);
void RenameShapeMarkup(Conversion& c);

// Conditional comments (ConditionalComments.cpp): VML and fallback blocks opened, Office data
// blocks dropped, list bullets kept as text.
void ResolveConditionalComments(Conversion& c);

// The tag pass (TagPass.cpp): class styles inlined, then every element of the tree taken
// before that visited in document order by the tag steps below.
void RunTagPass(Conversion& c);

// Class styles (ClassStyles.cpp): inlines them into the working text, writing into the pages
// of `before`, which gets the text as it was. False, with both left alone, when nothing changes.
bool InlineClassStyles(Conversion& c, std::string& before);

// The tag steps, each on one element of the tree, editing c.tags.
void RestyleParagraph(Conversion& c, const htmlcxx::HTML::Node& p);         // Paragraphs.cpp
void UnwrapAnchor(Conversion& c, const htmlcxx::HTML::Node& a);             // Anchors.cpp
void RemoveShapeType(Conversion& c, const htmlcxx::HTML::Node& shapeType);  // VmlShapes.cpp
void ShapeToPicture(Conversion& c, const htmlcxx::HTML::Node& shape);       // VmlShapes.cpp
void RewriteLocalPicture(Conversion& c, const htmlcxx::HTML::Node& img,     // LocalPictures.cpp
                         const HtmlNode* parent);
