// The component behind the "WordParser_" members: Word or Excel content read from the
// clipboard on request, with its own converter.
#pragma once

#include "Office/WordConverter.h"
#include "platform/npapi/npapi.h"

class WordParser {
  public:
    explicit WordParser(NPP npp);
    ~WordParser();
    WordParser(const WordParser&) = delete;
    WordParser& operator=(const WordParser&) = delete;

  private:
    NPP npp_;
    WordConverter converter_;
};
