// The component behind the "WordParser_" members: Word or Excel content read from the
// clipboard on request, with a converter of its own, and a page callback per picture.
#pragma once

#include "Office/WordConverter.h"
#include "plugin/npapi.h"

class WordParser {
  public:
    explicit WordParser(NPP npp);
    ~WordParser();
    WordParser(const WordParser&) = delete;
    WordParser& operator=(const WordParser&) = delete;

    bool IsWord() { return converter_.IsWord(); }
    bool IsExcel() { return converter_.IsExcel(); }
    // The converted HTML when the clipboard holds Word content; false (and no text) otherwise.
    bool GetWord(std::string& html);
    // The table cut and converted; the empty text without clipboard HTML.
    std::string GetExcel();
    // Calls the picture callback once per recorded picture, in the image table's order, with
    // the object, then alt, width, height, src and html. True when there are pictures.
    bool GetImages();

    // Objects set by the page; each is retained, the previous one released.
    void SetObject(NPObject* object);
    void SetAddWordImg(NPObject* callback);

  private:
    NPP npp_;
    WordConverter converter_;
    NPObject* object_ = nullptr;
    NPObject* addWordImg_ = nullptr;
};
