// Class styles: the declarations of each element's class, read from the stylesheet of the
// uncut text, go into its style attribute (Office/css/WordCss.h).
#include "Office/steps/Steps.h"

void LoadClassStyles(Conversion& c) {
    c.css.LoadStyles(c.text);
}

bool InlineClassStyles(Conversion& c, std::string& before) {
    return c.css.InlineClassStyles(c.text, before);
}
