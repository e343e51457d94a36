// Word's clipboard HTML formats elements through class names (MsoNormal, MsoListParagraph...)
// whose declarations live in a stylesheet in the document head; the fragment the page receives
// loses that stylesheet. WordCss reads it from the uncut clipboard HTML and later copies each
// class's declarations into the element's own style attribute.
#pragma once

#include <map>
#include <string>

#include "Office/TextOps.h"
#include "Office/css/CssParser.h"

class WordCss {
  public:
    WordCss();
    virtual ~WordCss();

    // Finds the stylesheet in the uncut clipboard HTML (the last <style> block of <head>, the
    // content of its first <!-- --> comment, else the whole head text) and adds its rules to
    // the parser. Call once per conversion, before the fragment is cut.
    void LoadStyles(const std::string& html);

    // Rewrites `text` in place: every element whose class has declarations in the loaded rules
    // gets them (without the Office-only "mso" ones) at the front of its style attribute and
    // loses the unquoted class attribute. Linear in the size of `text`.
    void InlineClassStyles(std::string& text);
    // The same, writing the new text into the pages of `spare` (whatever it holds) and handing
    // the old text back in `spare`. False, with both left alone, when nothing changes.
    bool InlineClassStyles(std::string& text, std::string& spare);

    // Class value (case kept) -> declaration text ("name:value;" repeated); never cleared, the
    // first text stored for a class is kept.
    const std::map<std::string, std::string>& ClassStyles() const { return classStyles_; }
    const quillon::css::Parser& Parser() const { return parser_; }

  private:
    WordCss(const WordCss&) = delete;
    WordCss& operator=(const WordCss&) = delete;

    std::map<std::string, std::string> classStyles_;
    quillon::css::Parser parser_;
    std::string working_;
};
