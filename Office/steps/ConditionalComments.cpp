// Conditional comments, resolved for a browser: the VML shapes and their fallback pictures stay
// (the tag pass turns them into img elements), Office data blocks go, list bullets and numbers
// stay as text.
#include "Office/steps/Steps.h"

void ResolveConditionalComments(Conversion& c) {
    c.StripBlocks("<!--[if gte vml 1]>", "<![endif]-->", true);
    c.StripBlocks("<![if !vml]>", "<![endif]>", true);
    c.StripBlocks("<!--[if gte mso 9]>", "<![endif]-->", false);
    c.StripBlocks("<!--[if !supportLists]-->", "<!--[endif]-->", true);
}
