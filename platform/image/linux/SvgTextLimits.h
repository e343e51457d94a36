// Bounds on the text of an SVG document before it is drawn.
//
// The SVG renderer lays text out with Pango, whose 32-bit fixed-point units overflow for a
// run of text millions of units long; the renderer then aborts the whole process. A
// translated metafile takes its font heights and transforms from the file, so a damaged or
// hostile metafile can ask for exactly that. Each text element's font size is therefore
// bounded so that its run (font size times its characters) stays far below the overflow,
// both in the text's own user space, where it is laid out, and on the canvas; such text is
// far larger than any canvas, so nothing visible is lost.
#pragma once

#include <string>

namespace platform {
namespace image {

// Longest text run allowed (font size times characters) and largest font size (the font
// engine refuses sizes beyond 16 bits of pixels), both in user units and in canvas pixels.
const double kMaxTextRunPixels = 1000000.0;
const double kMaxFontPixels = 32768.0;

// Rewrites the font sizes of `svg` that would give a longer run or a larger font when the
// document is drawn into a canvas of the given size. False when the document is not well-formed XML
// or uses what the bound cannot follow (style sheets, font styles, spacing, nested documents, text
// that can be referenced from elsewhere, transforms or lengths that do not parse); such a
// document must not be drawn.
bool LimitSvgText(std::string& svg, double canvasWidth, double canvasHeight);

}  // namespace image
}  // namespace platform
