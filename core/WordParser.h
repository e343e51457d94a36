// The component behind the "WordParser_" members: Word or Excel content read from the
// clipboard on request, with a converter of its own, and a page callback per picture.
#pragma once

#include "Office/WordConverter.h"
#include "script/ScriptObject.h"

class WordParser {
  public:
    WordParser() = default;
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
    // The pictures of the last conversion.
    const ImageTable& Images() const { return converter_.Images(); }

    // Objects set by the page; each replaces the previous one.
    void SetObject(script::ObjectHandle object) { object_ = std::move(object); }
    void SetAddWordImg(script::ObjectHandle callback) { addWordImg_ = std::move(callback); }

  private:
    WordConverter converter_;
    script::ObjectHandle object_;
    script::ObjectHandle addWordImg_;
};
