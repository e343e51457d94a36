// What the VML blocks of Word's HTML say about its shapes, read before the blocks are opened:
// which shapes are formulas (a ".wmz" image), which have a PNG image and which of those are
// cropped at the top.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>

// The picture address inside an element text: from the first "file:///" (else "file://") up
// to the next double quote; empty when there is none.
std::string PicturePathOf(const std::string& elementText);

// A shape's size in pixels (96 per inch, truncated) from its element text: the first
// "width:<digit>...pt" and "height:<digit>...pt" values, a "height:<digits>in" taking the
// place of the latter; "0" for what is missing or absurd.
void ShapePixelSize(const std::string& element, std::string& width, std::string& height);
// Its parts: a leading decimal number ("415.5;x" -> 415.5) in single precision, and points
// to pixels at 96 per inch, truncated ("0" for absurd sizes).
float LeadingNumber(const std::string& text);
std::string PointsToPixels(float points);

// A picture path as the end of a shared text: nested shapes that find the same picture share
// its bytes instead of each holding a copy.
struct SharedPath {
    std::shared_ptr<const std::string> text;
    uint32_t from;
};

class WordFormula {
  public:
    WordFormula();
    virtual ~WordFormula();

    // Rebuilds the tables from the working text. `literal`: every search done step by step.
    // `buffer`: a free buffer whose pages the VML text may use; it is handed back afterwards.
    void Scan(const std::string& text, bool literal = false, std::string* buffer = nullptr);

    bool IsFormula(const std::string& id) const;
    bool IsCropped(const std::string& id) const;
    bool PicturePath(const std::string& id, std::string& path) const;

  private:
    std::set<std::string> formulas_;
    std::map<std::string, SharedPath> pictures_;
    std::set<std::string> cropped_;
};
