// What the VML blocks of Word's HTML say about its shapes, read before the blocks are opened
// (the shape scan of Office/steps/VmlShapes.cpp): which shapes are formulas (a ".wmz" image),
// which have a PNG image and which of those are cropped at the top. Also the rules that read a
// shape's element text.
#pragma once

#include <map>
#include <set>
#include <string>

#include "Office/TextEngine.h"

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

class WordFormula {
  public:
    WordFormula();
    virtual ~WordFormula();

    void Clear();
    void AddFormula(const std::string& id);
    void AddCropped(const std::string& id);
    bool HasPicture(const std::string& id) const;
    // An id keeps the first path it was given.
    void AddPicture(const std::string& id, SharedPath path);

    bool IsFormula(const std::string& id) const;
    bool IsCropped(const std::string& id) const;
    bool PicturePath(const std::string& id, std::string& path) const;

  private:
    std::set<std::string> formulas_;
    std::map<std::string, SharedPath> pictures_;
    std::set<std::string> cropped_;
};
