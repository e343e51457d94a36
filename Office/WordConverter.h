// The clipboard side of the Word conversion, behind the script members and the paste command:
// each call reads the clipboard's "HTML Format" data (CF_HTML layout) afresh where the members
// do, keeps it as the working text and hands it to the pipeline (Office/WordPipeline.h), which
// leaves the converted HTML there and its pictures in the image table.
//
// Limits: clipboard data larger than kMaxClipboardHtml bytes is refused as a read that failed
// (logged); a conversion that runs out of memory gives the empty text and no pictures (logged)
// instead of ending the browser. Either way the caller sees what a failed clipboard read
// gives: an empty conversion.
#pragma once

#include <cstddef>
#include <string>

#include "Office/ClipboardHtml.h"
#include "Office/ImageTag.h"
#include "Office/WordPipeline.h"

class WordConverter {
  public:
    static constexpr size_t kMaxClipboardHtml = kMaxClipboardHtmlBytes;

    WordConverter();
    virtual ~WordConverter();
    WordConverter(const WordConverter&) = delete;
    WordConverter& operator=(const WordConverter&) = delete;

    // Whether the clipboard offers "HTML Format" (reads nothing).
    bool HasHtml();
    // Replaces the working text with the clipboard's "HTML Format" bytes when there are any
    // (ReadClipboardHtml); otherwise leaves it as it was.
    void ReadClipboard();
    // Origin tests on the current working text (Office/SourceOrigin.h).
    bool TestWord() const;
    bool TestExcel() const;
    // False without clipboard HTML; otherwise reads the clipboard, then tests.
    bool IsWord();
    bool IsExcel();
    // Keeps only the copied part of the working text (Office/steps/Steps.h).
    void CutFragment();
    void CutTable();

    // Read, then convert (WordPipeline::Run). The result is Text(), the pictures are Images().
    void GetWord();
    void GetExcel();
    // The paste command's conversion: the clipboard read once, converted as Excel content
    // (its table cut) when its source address says so, else as Word content. True for Excel.
    bool ConvertClipboard();
    // The conversion of the working text in place.
    void Convert();

    const std::string& Text() const { return text_; }
    void SetText(const std::string& text) { text_ = text; }
    const ImageTable& Images() const { return pipeline_.Images(); }

  private:
    void Get(WordPipeline::Cut cut);

    std::string text_;
    WordPipeline pipeline_;
};
