#include "reference/ReferenceConverter.h"

#include "Office/ClipboardHtml.h"
#include "reference/LiteralEngine.h"

ReferenceConverter::ReferenceConverter() : pipeline_(LiteralTextEngine()) {}

void ReferenceConverter::Get(WordPipeline::Cut cut) {
    text_.clear();
    ReadClipboardHtml(text_);
    pipeline_.Run(text_, cut);
}
