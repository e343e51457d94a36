// Images on the clipboard as the image paster takes them: a bitmap (CF_BITMAP), a
// device-independent bitmap (CF_DIB) or a copied file list (CF_HDROP), and the paster's list
// of collected image file paths.
#pragma once

#include <list>
#include <string>
#include <vector>

#include "image/ImageEncoding.h"

class CxImage;

// Full paths in the ANSI code page, in the order collected. Collecting never empties it;
// only taking the paths does.
class CollectedFileList {
  public:
    void Append(const std::string& ansiPath) { paths_.push_back(ansiPath); }
    bool empty() const { return paths_.empty(); }
    size_t size() const { return paths_.size(); }
    // The paths in order; the list is empty afterwards.
    std::vector<std::string> Take();

  private:
    std::list<std::string> paths_;
};

// The clipboard side of the image paster, over platform::CurrentClipboard().
class ClipboardImageReader {
  public:
    // A bitmap or a device-independent bitmap is offered; else whether image files were
    // collected (collecting them as a side effect).
    bool IsBitmap();
    // Whether the collected file list is non-empty after collecting; false at once when no
    // file list is offered.
    bool IsFile();
    // Appends every image file of the clipboard's file list (".jpg", ".bmp", ".png", ".gif",
    // any letter case; paths cut to 259 ANSI bytes; roots and directories skipped) and
    // answers whether the list is non-empty, counting paths collected by earlier calls.
    bool CollectFiles();
    // The collected paths in order (ANSI bytes); the list is empty afterwards.
    std::vector<std::string> TakeCollectedFiles() { return files_.Take(); }
    const CollectedFileList& collectedFiles() const { return files_; }

  private:
    CollectedFileList files_;
};

// The clipboard bitmap as a picture; null when none can be read. A bitmap whose pixels are
// unusable gives an empty picture, whose encoding then gives the empty result.
ImagePtr ReadClipboardBitmap();
// Fills the image from the CF_DIB block. False when the clipboard gives no block (the
// caller gives up); true otherwise, the image valid only when the block could be decoded.
bool ReadClipboardDib(CxImage& image);
// The first file of the clipboard's file list that ends in ".jpg", ".bmp", ".png", ".jpeg"
// or ".gif" (any letter case), paths cut to 254 UTF-16 units, roots and directories
// skipped. False and `path` empty when there is none.
bool FindClipboardImageFile(std::wstring& path);
// The paste command's variant: every qualifying file of the list, in order.
std::vector<std::wstring> FindClipboardImageFiles();
