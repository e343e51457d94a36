// Local pictures and the image table: every img element whose src names a local file is
// rebuilt with its size and recorded, under the id of the shape it stands in for, so that the
// page can upload the file and replace the element. A picture whose shape was converted is
// removed, handing its size to the shape's record; for a shape cropped at the top it stays in
// the shape's place.
#include <htmlcxx/html/Node.h>

#include <cstdio>
#include <memory>

#include "Office/LocalPath.h"
#include "Office/steps/Steps.h"
#include "platform/image/ImageSize.h"
#include "platform/kernel/Text.h"

namespace {

// Pictures without a shape id are each listed under a key of their own: "\x01" (below any
// real id) and a zero-padded number in document order.
std::string UnnamedKey(Conversion& c) {
    char key[16];
    std::snprintf(key, sizeof key, "\x01%08u", ++c.unnamedPictures);
    return key;
}

}  // namespace

void RewriteLocalPicture(Conversion& c, const htmlcxx::HTML::Node& img, const HtmlNode* parent) {
    std::string src = img.attribute("src").second;
    if (src.find("file://") == std::string::npos) return;
    std::string width = img.attribute("width").second;
    std::string height = img.attribute("height").second;
    const std::string alt = img.attribute("alt").second;
    std::string v = img.attribute("vshapes").second;
    if (v.empty()) v = UnnamedKey(c);
    auto known = c.images.find(v);
    if (known != c.images.end()) {
        known->second->width = width;
        known->second->height = height;
        c.tags->EraseFrom(img.text(), img.length());
        if (!c.shapes.IsCropped(v)) return;
    }
    std::string shapePath;
    if (c.shapes.PicturePath(v, shapePath) && !c.shapes.IsCropped(v)) src = shapePath;
    if (width.empty() || height.empty()) {
        uint32_t w = 0;
        uint32_t h = 0;
        platform::image::ReadImagePixelSize(util::Utf8ToWide(LocalFilePath(src)), w, h);
        width = std::to_string(w);
        height = std::to_string(h);
    }
    const bool formula = c.shapes.IsFormula(v);
    const std::string html =
        std::string("<img ") + (formula ? "style=\"vertical-align:middle;\"" : "") + " width=\"" +
        width + "\" height=\"" + height + "\" alt=\"" + alt + "\" src=\"" + src + "\" />";
    auto tag = std::make_shared<ImageTag>();
    tag->alt = alt;
    tag->width = width;
    tag->height = height;
    tag->html = html;
    tag->src = StripFileScheme(src);
    c.images[v] = tag;
    c.tags->ReplaceAll(img.text(), html);
    // A formula's span loses its tags.
    if (formula && parent && parent->isTag && parent->tagName == "span") {
        c.tags->StripBlocks(std::string(parent->text), std::string(parent->closingText));
    }
}
