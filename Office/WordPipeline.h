// The conversion of Word or Excel clipboard HTML, text in, text and image table out: Office
// markup removed, conditional comments resolved, pictures as plain img elements that still
// name their local files, plain Word paragraphs restyled, class styles inlined. Every local
// picture is recorded in the image table. The rules are the steps of Office/steps/, run in the
// order Convert lists them.
//
// A conversion that runs out of memory gives the empty text and no pictures (logged) instead
// of ending the browser.
#pragma once

#include <cstddef>
#include <string>

#include "Office/ImageTag.h"
#include "Office/TextEngine.h"
#include "Office/WordFormula.h"
#include "Office/css/WordCss.h"

class WordPipeline {
  public:
    // What the CF_HTML text's copied part is.
    enum class Cut { kWordFragment, kExcelTable };

    explicit WordPipeline(const TextEngine& engine = DefaultTextEngine());
    virtual ~WordPipeline();
    WordPipeline(const WordPipeline&) = delete;
    WordPipeline& operator=(const WordPipeline&) = delete;

    // Empties the image table, loads the stylesheet from the uncut CF_HTML `text`, cuts the
    // copied part and converts it; `text` is rewritten in place into the result.
    void Run(std::string& text, Cut cut);
    // The conversion of a text already cut, in place.
    void Convert(std::string& text);

    const ImageTable& Images() const { return images_; }

    // Buffers of a conversion kept for the next one stay only up to this capacity: a paste of
    // a few megabytes (the common large case) then maps no fresh pages for them, and an
    // instance that once pasted a huge document does not hold that much memory until it goes.
    static constexpr size_t kKeptBufferBytes = 16u << 20;
    // A text from which on the heap's free pages are given back after the conversion.
    static constexpr size_t kLargeTextBytes = 1u << 20;
    // Empties the buffer, keeping its capacity when it is within kKeptBufferBytes.
    static void KeepBounded(std::string& buffer);

  private:
    // After running out of memory: the empty result, every buffer given back.
    void Abandon(std::string& text, const char* step);

    const TextEngine& engine_;
    ImageTable images_;
    // The class styles and their stylesheet are kept from one conversion to the next.
    WordCss css_;
    WordFormula shapes_;
    // The steps' free buffer (Conversion::scratch), emptied after each conversion.
    std::string scratch_;
};
