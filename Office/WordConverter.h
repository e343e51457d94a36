// Turns the HTML that Word or Excel puts on the clipboard ("HTML Format", CF_HTML layout) into
// HTML a web page's editor can take: Office-only markup removed, conditional comments resolved,
// pictures as plain img elements that still name their local files, plain Word paragraphs
// restyled, class styles inlined. Every local picture is recorded in the image table.
//
// Limits: clipboard "HTML Format" data larger than kMaxClipboardHtml bytes is refused as a read
// that failed (logged); a conversion that runs out of memory gives the empty text and no
// pictures (logged) instead of ending the browser. Either way the caller sees what a failed
// clipboard read gives: an empty conversion.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "Office/ImageTag.h"
#include "Office/WordFormula.h"
#include "Office/css/WordCss.h"

class WordConverter {
  public:
    // 64 MiB: many times the largest real Word or Excel copy (a few MiB with hundreds of
    // pictures, which travel as file names), and small enough that the text, its tree and its
    // working copies fit a 32-bit browser process's 2 GiB.
    static constexpr size_t kMaxClipboardHtml = size_t{64} << 20;

    WordConverter();
    virtual ~WordConverter();
    WordConverter(const WordConverter&) = delete;
    WordConverter& operator=(const WordConverter&) = delete;

    // Whether the clipboard offers "HTML Format" (reads nothing).
    bool HasHtml();
    // Replaces the working text with the clipboard's "HTML Format" bytes (up to the first NUL)
    // when there are any; otherwise (also for data above kMaxClipboardHtml, or no memory to
    // read it) leaves it as it was.
    void ReadClipboard();
    // Origin tests on the current working text: the SourceURL: line names a .doc/.docx
    // (Word; CF_HTML without SourceURL: counts as Word) or a .xls/.xlsx (Excel).
    bool TestWord() const;
    bool TestExcel() const;
    // False without clipboard HTML; otherwise reads the clipboard, then tests.
    bool IsWord();
    bool IsExcel();
    // Keeps only the copied part: the text between the fragment markers (starting at the first
    // tag behind the start marker), or for Excel the copied table.
    void CutFragment();
    void CutTable();

    // Read, load the stylesheet from the uncut text, cut, convert. The result is Text(), the
    // pictures are Images().
    void GetWord();
    void GetExcel();
    // The conversion of the working text in place.
    void Convert();

    const std::string& Text() const { return text_; }
    void SetText(const std::string& text) { text_ = text; }
    const ImageTable& Images() const { return images_; }

    // Every edit done literally, step by step (the reference behaviour; slow on large input).
    void SetLiteral(bool literal) { literal_ = literal; }

  private:
    void Get(bool excel);
    void ConvertSteps();
    // After running out of memory: the empty result, every buffer given back.
    void Abandon(const char* step);
    // `buffer`: a free buffer whose pages the snapshot of the text may reuse.
    void TagPass(std::string& buffer);

    uint32_t htmlFormat_;
    std::string text_;
    ImageTable images_;
    WordCss css_;
    WordFormula formula_;
    bool literal_ = false;
    unsigned unnamedPictures_ = 0;
    friend class TagPassRunner;
};
