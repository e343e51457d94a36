// EMF playback: the records are translated into SVG, which librsvg draws with cairo.
#include <cairo.h>
#include <emf2svg.h>
#include <librsvg/rsvg.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/image/Metafile.h"
#include "platform/image/linux/MetafilePlayers.h"
#include "platform/image/linux/SvgTextLimits.h"

namespace platform {
namespace image {
namespace {

struct SurfaceCloser {
    void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
struct ContextCloser {
    void operator()(cairo_t* c) const { cairo_destroy(c); }
};
struct HandleCloser {
    void operator()(RsvgHandle* h) const { g_object_unref(h); }
};

bool TranslateToSvg(const uint8_t* data, size_t size, std::string& svg) {
    std::vector<char> bytes(data, data + size);  // the translator takes a writable block
    generatorOptions options = {};
    // No namespace prefix: with one, the translator closes some elements without it.
    options.nameSpace = nullptr;
    options.svgDelimiter = true;
    char* out = nullptr;
    size_t length = 0;
    const int ok = emf2svg(bytes.data(), bytes.size(), &out, &length, &options);
    if (ok && out && length > 0) svg.assign(out, length);
    std::free(out);
    return !svg.empty();
}

}  // namespace

bool PlayEmf(const uint8_t* data, size_t size, Bitmap& out) {
    out = Bitmap();
    uint32_t width = 0, height = 0;
    if (!EmfCanvasSize(data, size, width, height)) return false;

    std::string svg;
    if (!TranslateToSvg(data, size, svg)) return false;
    if (!LimitSvgText(svg, width, height)) return false;
    std::unique_ptr<RsvgHandle, HandleCloser> handle(rsvg_handle_new_from_data(
        reinterpret_cast<const guint8*>(svg.data()), svg.size(), nullptr));
    if (!handle) return false;

    std::unique_ptr<cairo_surface_t, SurfaceCloser> surface(cairo_image_surface_create(
        CAIRO_FORMAT_ARGB32, static_cast<int>(width), static_cast<int>(height)));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return false;
    {
        std::unique_ptr<cairo_t, ContextCloser> cr(cairo_create(surface.get()));
        cairo_set_source_rgb(cr.get(), 1, 1, 1);
        cairo_paint(cr.get());
        RsvgRectangle viewport = {0, 0, static_cast<double>(width), static_cast<double>(height)};
        // Drawing errors leave what was drawn; the canvas is still a valid picture.
        rsvg_handle_render_document(handle.get(), cr.get(), &viewport, nullptr);
    }
    cairo_surface_flush(surface.get());

    if (!out.Allocate(width, height)) return false;
    const unsigned char* pixels = cairo_image_surface_get_data(surface.get());
    const int stride = cairo_image_surface_get_stride(surface.get());
    // The white backdrop makes every pixel opaque, so cairo's premultiplied native-endian
    // ARGB is plain BGRA here.
    for (uint32_t y = 0; y < height; ++y) {
        const uint32_t* src = reinterpret_cast<const uint32_t*>(pixels + y * stride);
        uint8_t* dst = out.Row(y);
        for (uint32_t x = 0; x < width; ++x, dst += 4) {
            const uint32_t p = src[x];
            dst[0] = static_cast<uint8_t>(p);
            dst[1] = static_cast<uint8_t>(p >> 8);
            dst[2] = static_cast<uint8_t>(p >> 16);
            dst[3] = 0xFF;
        }
    }
    return true;
}

}  // namespace image
}  // namespace platform
