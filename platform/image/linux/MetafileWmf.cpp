// WMF playback with libwmf's raster (gd) device, which draws into a true-colour canvas of
// the size asked for; text goes through the URW base-35 Type 1 fonts.
#include <libwmf/api.h>
#include <libwmf/gd.h>
#include <libwmf/gd/gd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/image/Metafile.h"
#include "platform/image/linux/MetafilePlayers.h"

namespace platform {
namespace image {
namespace {

const char kFontDir[] = "/usr/share/fonts/type1/urw-base35";
const size_t kReadSlack = 64;

// The PostScript font names libwmf asks for, mapped onto the URW files.
const char* const kFontFiles[][2] = {
    {"Times-Roman", "NimbusRoman-Regular.t1"},
    {"Times-Italic", "NimbusRoman-Italic.t1"},
    {"Times-Bold", "NimbusRoman-Bold.t1"},
    {"Times-BoldItalic", "NimbusRoman-BoldItalic.t1"},
    {"Helvetica", "NimbusSans-Regular.t1"},
    {"Helvetica-Oblique", "NimbusSans-Italic.t1"},
    {"Helvetica-Bold", "NimbusSans-Bold.t1"},
    {"Helvetica-BoldOblique", "NimbusSans-BoldItalic.t1"},
    {"Courier", "NimbusMonoPS-Regular.t1"},
    {"Courier-Oblique", "NimbusMonoPS-Italic.t1"},
    {"Courier-Bold", "NimbusMonoPS-Bold.t1"},
    {"Courier-BoldOblique", "NimbusMonoPS-BoldItalic.t1"},
    {"Symbol", "StandardSymbolsPS.t1"},
    {"ZapfDingbats", "D050000L.t1"},
};

// Player allocations are counted; past kMaxPlayerMemory they fail, which libwmf reports as
// an error and stops.
struct Budget {
    size_t used = 0;
    std::chrono::steady_clock::time_point deadline;
};

struct BlockHeader {
    size_t size;
    size_t pad;  // keeps the user block 16-byte aligned
};

void* CountedAlloc(void* context, size_t size) {
    Budget* budget = static_cast<Budget*>(context);
    if (size > kMaxPlayerMemory || budget->used + size > kMaxPlayerMemory) return nullptr;
    BlockHeader* block = static_cast<BlockHeader*>(std::malloc(sizeof(BlockHeader) + size));
    if (!block) return nullptr;
    block->size = size;
    budget->used += size;
    return block + 1;
}

void CountedFree(void* context, void* mem) {
    if (!mem) return;
    BlockHeader* block = static_cast<BlockHeader*>(mem) - 1;
    static_cast<Budget*>(context)->used -= block->size;
    std::free(block);
}

void* CountedRealloc(void* context, void* mem, size_t size) {
    if (!mem) return CountedAlloc(context, size);
    BlockHeader* old = static_cast<BlockHeader*>(mem) - 1;
    void* fresh = CountedAlloc(context, size);
    if (!fresh) return nullptr;
    std::memcpy(fresh, mem, old->size < size ? old->size : size);
    CountedFree(context, mem);
    return fresh;
}

// Called by the player as it goes; a non-zero answer stops playback.
int CheckTime(void* context, float) {
    return std::chrono::steady_clock::now() > static_cast<Budget*>(context)->deadline ? 1 : 0;
}

class WmfPlayer {
  public:
    explicit WmfPlayer(Budget* budget) {
        for (const auto& font : kFontFiles) {
            paths_.push_back(std::string(kFontDir) + "/" + font[1]);
        }
        for (size_t i = 0; i < paths_.size(); ++i) {
            wmfMapping m = {};
            m.name = const_cast<char*>(kFontFiles[i][0]);
            m.mapping = const_cast<char*>(paths_[i].c_str());
            m.encoding = FT_ENCODING_NONE;
            psMap_.push_back(m);
        }
        psMap_.push_back(wmfMapping{nullptr, nullptr, FT_ENCODING_NONE});
        fontDirs_[0] = const_cast<char*>(kFontDir);
        fontDirs_[1] = nullptr;

        wmfAPI_Options options = {};
        options.context = budget;
        options.malloc = &CountedAlloc;
        options.realloc = &CountedRealloc;
        options.free = &CountedFree;
        options.function = &wmf_gd_function;
        options.fontdirs = fontDirs_;
        options.font.ps = psMap_.data();
        const unsigned long flags = WMF_OPT_ALLOC | WMF_OPT_FUNCTION | WMF_OPT_FONTDIRS |
                                    WMF_OPT_FONTMAP | WMF_OPT_IGNORE_NONFATAL | WMF_OPT_NO_ERROR |
                                    WMF_OPT_NO_DEBUG;
        if (wmf_api_create(&api_, flags, &options) != wmf_E_None) {
            if (api_) wmf_api_destroy(api_);
            api_ = nullptr;
        }
    }
    ~WmfPlayer() {
        if (api_) wmf_api_destroy(api_);  // frees every block the player allocated
    }
    wmfAPI* api() const { return api_; }

  private:
    wmfAPI* api_ = nullptr;
    std::vector<std::string> paths_;
    std::vector<wmfMapping> psMap_;
    char* fontDirs_[2];
};

// The raster device leaves its canvas to the caller, and the library does not export the
// canvas's destructor; this one frees what the true-colour canvas owns (its pixel block and
// row table, polygon scratch, line style and clip set), as the destructor would.
class CanvasOwner {
  public:
    explicit CanvasOwner(void* canvas) : canvas_(static_cast<gdImage*>(canvas)) {}
    ~CanvasOwner() {
        if (!canvas_) return;
        if (canvas_->pixels) {  // a palette canvas: one block per row
            for (int y = 0; y < canvas_->sy; ++y) std::free(canvas_->pixels[y]);
            std::free(canvas_->pixels);
        }
        std::free(canvas_->_tpixels);
        std::free(canvas_->tpixels);
        std::free(canvas_->polyInts);
        std::free(canvas_->style);
        if (canvas_->clip) {
            std::free(canvas_->clip->list);
            std::free(canvas_->clip);
        }
        std::free(canvas_);
    }
    CanvasOwner(const CanvasOwner&) = delete;
    CanvasOwner& operator=(const CanvasOwner&) = delete;

  private:
    gdImage* canvas_;
};

}  // namespace

bool PlayWmf(const uint8_t* data, size_t size, uint32_t width, uint32_t height, Bitmap& out) {
    out = Bitmap();
    if (!IsAcceptableSize(width, height) || !IsWellFormedWmf(data, size)) return false;

    Budget budget;
    budget.deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kMetafileTimeBudgetMs);
    WmfPlayer player(&budget);
    wmfAPI* api = player.api();
    if (!api) return false;
    // The player reads from memory it does not own and never writes to it. Zeros after the
    // end keep a record field read past its record (a face name) inside the block.
    std::vector<unsigned char> bytes(data, data + size);
    bytes.resize(size + kReadSlack, 0);
    if (wmf_mem_open(api, bytes.data(), static_cast<long>(size)) != wmf_E_None) return false;
    wmf_status_function(api, &budget, &CheckTime);

    wmfD_Rect bbox = {};
    if (wmf_scan(api, 0, &bbox) != wmf_E_None) return false;
    if (!(bbox.BR.x > bbox.TL.x) || !(bbox.BR.y > bbox.TL.y)) return false;

    wmf_gd_t* device = WMF_GD_GetData(api);
    device->type = wmf_gd_image;
    device->bbox = bbox;
    device->width = width;
    device->height = height;
    const bool played = wmf_play(api, 0, &bbox) == wmf_E_None;
    CanvasOwner canvas(device->gd_image);
    if (!played || !device->gd_image) return false;
    const int* pixels = wmf_gd_image_pixels(device->gd_image);
    if (!pixels || !out.Allocate(width, height)) return false;

    // gd's true-colour pixels are 0xAARRGGBB with a 7-bit alpha where 0 is opaque; the
    // canvas is composed over white.
    const size_t count = static_cast<size_t>(width) * height;
    for (size_t i = 0; i < count; ++i) {
        const uint32_t p = static_cast<uint32_t>(pixels[i]);
        const uint32_t opacity = 127 - ((p >> 24) & 0x7F);
        uint8_t* px = &out.bgra[i * 4];
        const uint32_t rgb[3] = {p & 0xFF, (p >> 8) & 0xFF, (p >> 16) & 0xFF};
        for (int c = 0; c < 3; ++c) {
            px[c] = static_cast<uint8_t>((rgb[c] * opacity + 255 * (127 - opacity)) / 127);
        }
        px[3] = 0xFF;
    }
    return true;
}

}  // namespace image
}  // namespace platform
