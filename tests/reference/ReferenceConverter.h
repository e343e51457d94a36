// The conversion of the current clipboard's "HTML Format" data on the reference engine: what
// WordConverter::GetWord and GetExcel give, with every operation done literally.
#pragma once

#include <string>

#include "Office/ImageTag.h"
#include "Office/WordPipeline.h"

class ReferenceConverter {
  public:
    ReferenceConverter();

    void GetWord() { Get(WordPipeline::Cut::kWordFragment); }
    void GetExcel() { Get(WordPipeline::Cut::kExcelTable); }

    const std::string& Text() const { return text_; }
    const ImageTable& Images() const { return pipeline_.Images(); }

  private:
    void Get(WordPipeline::Cut cut);

    std::string text_;
    WordPipeline pipeline_;
};
