// The context every step of a conversion works on: the working text, rewritten in place, and
// what the steps learn (class styles, shape tables) and record (the image table).
#pragma once

#include <string>

#include "Office/ImageTag.h"
#include "Office/TextEngine.h"
#include "Office/WordFormula.h"
#include "Office/css/WordCss.h"

struct Conversion {
    Conversion(std::string& text, ImageTable& images, WordCss& css, WordFormula& shapes,
               const TextEngine& engine, std::string& scratch)
        : text(text), images(images), css(css), shapes(shapes), engine(engine), scratch(scratch) {}

    // Whole-text edits through the engine, with the one buffer of all steps.
    void ReplaceAll(const std::string& searched, const std::string& replacement) {
        engine.ReplaceAll(text, searched, replacement, scratch);
    }
    void StripBlocks(const std::string& start, const std::string& end, bool keep) {
        engine.StripBlocks(text, start, end, keep, scratch);
    }

    std::string& text;
    ImageTable& images;
    WordCss& css;
    WordFormula& shapes;
    const TextEngine& engine;
    // A free buffer the steps reuse, so that a large text is not mapped afresh for each step
    // (the pipeline's, kept from one conversion to the next). What it holds is garbage: every
    // step clears or overwrites it before reading.
    std::string& scratch;
    // The working text while the tag pass edits it (the tag steps below), else null.
    TagPassText* tags = nullptr;
    // Local pictures without a shape id met so far.
    unsigned unnamedPictures = 0;
};
