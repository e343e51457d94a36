// The record walks run before any metafile reaches a player. The players trust what the
// records say: record sizes, the object-table indices of select, delete and create records,
// and the bitmap headers inside records. A wrong index or a bitmap larger than its record is
// enough to make them read or free memory they do not own, so every such field is checked
// here against the record that holds it, and a file with one bad record is refused whole.
#include <algorithm>
#include <iterator>
#include <vector>

#include "platform/image/ByteReader.h"
#include "platform/image/ImageSize.h"
#include "platform/image/Metafile.h"

namespace platform {
namespace image {
namespace {

const uint16_t kWmfEofFunction = 0x0000;
const uint32_t kEmfHeaderType = 1;
const uint32_t kEmfEofType = 14;

// A device-independent bitmap (header, masks, colour table, pixels) that must fit in
// [at, headerEnd) for its header and colour table and in [bitsAt, bitsEnd) for its pixels.
// `rows` is the number of scan lines the record supplies (0: the whole height); colour
// entries are 2-byte palette indices when `paletteIndices` is set.
bool IsSoundDib(ByteReader& r, size_t at, size_t headerEnd, size_t bitsAt, size_t bitsEnd,
                uint32_t rows, bool paletteIndices) {
    if (headerEnd < at || bitsEnd < bitsAt || !r.Has(at, headerEnd - at) ||
        !r.Has(bitsAt, bitsEnd - bitsAt))
        return false;
    const uint32_t headerSize = r.Le32(at);
    uint64_t width = 0, height = 0;
    uint16_t planes = 0, bits = 0;
    uint32_t compression = 0, imageSize = 0, colours = 0;
    size_t entrySize = paletteIndices ? 2 : 4;
    if (headerSize == 12) {
        width = r.Le16(at + 4);
        height = r.Le16(at + 6);
        planes = r.Le16(at + 8);
        bits = r.Le16(at + 10);
        if (!paletteIndices) entrySize = 3;
    } else if (headerSize >= 40 && headerSize <= 124) {
        const int32_t w = r.Le32s(at + 4), h = r.Le32s(at + 8);
        if (w <= 0 || h == 0 || h == INT32_MIN) return false;
        width = static_cast<uint32_t>(w);
        height = static_cast<uint32_t>(h < 0 ? -h : h);
        planes = r.Le16(at + 12);
        bits = r.Le16(at + 14);
        compression = r.Le32(at + 16);
        imageSize = r.Le32(at + 20);
        colours = r.Le32(at + 32);
    } else {
        return false;
    }
    if (r.failed() || planes != 1 || !IsAcceptableSize(width, height)) return false;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
    // Run-length coding only at its own depth; bit fields only above 8 bits; nothing else.
    const bool rle = compression == 1 || compression == 2;
    if ((compression == 1 && bits != 8) || (compression == 2 && bits != 4) ||
        (compression == 3 && bits < 16) || compression > 3)
        return false;
    if (colours == 0 && bits <= 8) colours = 1u << bits;
    if (colours > 256 && bits <= 8) return false;
    const uint64_t masks = compression == 3 && headerSize == 40 ? 12 : 0;
    if (headerSize + masks + uint64_t(colours) * entrySize > headerEnd - at) return false;

    const uint64_t scanLines = rows == 0 || rows > height ? height : rows;
    const uint64_t stride = (width * bits + 31) / 32 * 4;
    const uint64_t pixelBytes = rle ? imageSize : stride * scanLines;
    return !(rle && imageSize == 0) && pixelBytes <= bitsEnd - bitsAt;
}

// ---- WMF ----

enum class WmfObject : uint8_t { kFree, kPen, kBrush, kFont, kPalette, kRegion };

// The player's object table: a create record takes the lowest free slot, select and delete
// records name a slot that holds an object. A selected object that is deleted leaves the
// player pointing at freed memory; only object records may follow until it is replaced.
class WmfObjectTable {
  public:
    explicit WmfObjectTable(uint16_t size) : slots_(size, WmfObject::kFree) {}

    bool Create(WmfObject kind) {
        const auto slot = std::find(slots_.begin(), slots_.end(), WmfObject::kFree);
        if (slot == slots_.end()) return false;
        *slot = kind;
        return true;
    }
    bool Holds(uint16_t index, WmfObject kind) const {
        return index < slots_.size() && slots_[index] == kind;
    }
    bool Select(uint16_t index) {
        if (index >= slots_.size() || slots_[index] == WmfObject::kFree) return false;
        const WmfObject kind = slots_[index];
        // A region selected as clip is copied; the other kinds stay referenced.
        if (kind != WmfObject::kRegion) current_.of[Slot(kind)] = index;
        return true;
    }
    bool SelectPalette(uint16_t index) {
        if (!Holds(index, WmfObject::kPalette)) return false;
        current_.of[Slot(WmfObject::kPalette)] = index;
        return true;
    }
    bool Delete(uint16_t index) {
        if (index >= slots_.size() || slots_[index] == WmfObject::kFree) return false;
        slots_[index] = WmfObject::kFree;
        current_.Forget(index);
        for (Selection& saved : saved_) saved.Forget(index);
        return true;
    }
    void Save() { saved_.push_back(current_); }
    bool Restore(int16_t which) {
        // Negative: that many levels back; positive: the absolute save level.
        const size_t depth = saved_.size();
        size_t keep = 0;
        if (which < 0 && size_t(-int32_t(which)) <= depth) {
            keep = depth - size_t(-int32_t(which));
        } else if (which > 0 && size_t(which) <= depth) {
            keep = size_t(which) - 1;
        } else {
            return false;
        }
        current_ = saved_[keep];
        saved_.resize(keep);
        return true;
    }
    // Whether the player holds a pointer to a deleted object.
    bool Dangling() const { return current_.Dangling(); }

  private:
    static constexpr int32_t kNone = -1, kDeleted = -2;
    struct Selection {
        int32_t of[4] = {kNone, kNone, kNone, kNone};  // pen, brush, font, palette
        void Forget(uint16_t index) {
            for (int32_t& s : of)
                if (s == index) s = kDeleted;
        }
        bool Dangling() const {
            return std::find(std::begin(of), std::end(of), kDeleted) != std::end(of);
        }
    };
    static size_t Slot(WmfObject kind) { return static_cast<size_t>(kind) - 1; }

    std::vector<WmfObject> slots_;
    Selection current_;
    std::vector<Selection> saved_;
};

// The smallest size in words (header of 3 included) of the fixed-size records.
uint32_t WmfFixedWords(uint16_t function) {
    switch (function) {
        case 0x001E:
        case 0x0035:
            return 3;  // SaveDC, RealizePalette
        case 0x0102:
        case 0x0103:
        case 0x0104:
        case 0x0106:
        case 0x0107:
        case 0x0108:
        case 0x0127:
        case 0x012A:
        case 0x012B:
        case 0x012C:
        case 0x012D:
        case 0x012E:
        case 0x0139:
        case 0x01F0:
        case 0x0234:
            return 4;
        case 0x0201:
        case 0x0209:
        case 0x020A:
        case 0x020B:
        case 0x020C:
        case 0x020D:
        case 0x020E:
        case 0x020F:
        case 0x0211:
        case 0x0213:
        case 0x0214:
        case 0x0220:
        case 0x0228:
        case 0x0231:
            return 5;
        case 0x02FC:
        case 0x0410:
        case 0x0412:
        case 0x0415:
        case 0x0416:
        case 0x0418:
        case 0x041B:
        case 0x041F:
        case 0x0429:
            return 7;
        case 0x02FA:
        case 0x0419:
        case 0x0548:
            return 8;
        case 0x061C:
        case 0x061D:
            return 9;
        case 0x0817:
        case 0x081A:
        case 0x0830:
            return 11;
        case 0x02FB:
            return 12;  // the font's fields up to its face name
        default:
            return 3;
    }
}

// A Bitmap16 (type, width, height, width in bytes, planes, bits per pixel, then the bits)
// at `at` whose bits end by `end`.
bool IsSoundBitmap16(ByteReader& r, size_t at, size_t bitsAt, size_t end) {
    const int16_t width = r.Le16s(at + 2), height = r.Le16s(at + 4);
    const uint16_t rowBytes = r.Le16(at + 6);
    const uint8_t planes = r.U8(at + 8), bits = r.U8(at + 9);
    if (r.failed() || width <= 0 || height <= 0 || planes != 1 || bitsAt > end) return false;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
    if (uint64_t(rowBytes) * 8 < uint64_t(width) * bits) return false;
    return IsAcceptableSize(uint64_t(width), uint64_t(height)) &&
           uint64_t(rowBytes) * uint64_t(height) <= end - bitsAt;
}

// The parameters of one record against its size, and its object-table use.
bool IsSoundWmfRecord(ByteReader& r, size_t at, uint32_t words, uint16_t function,
                      WmfObjectTable& objects) {
    const size_t end = at + size_t(words) * 2;
    const size_t p = at + 6;  // the first parameter
    auto needs = [&](uint64_t paramWords) { return 3 + paramWords <= words; };
    if (!needs(WmfFixedWords(function) - 3)) return false;
    // Records that draw or change state need every selected object alive.
    const bool objectRecord = function == 0x012D || function == 0x01F0 || function == 0x0234 ||
                              function == 0x00F7 || function == 0x0142 || function == 0x01F9 ||
                              function == 0x02FA || function == 0x02FB || function == 0x02FC ||
                              function == 0x06FF;
    if (!objectRecord && objects.Dangling()) return false;

    switch (function) {
        case 0x012D:
            return objects.Select(r.Le16(p));
        case 0x01F0:
            return objects.Delete(r.Le16(p));
        case 0x0234:
            return objects.SelectPalette(r.Le16(p));
        case 0x012C:  // SelectClipRegion
        case 0x012A:  // InvertRegion
        case 0x012B:  // PaintRegion
            return objects.Holds(r.Le16(p), WmfObject::kRegion);
        case 0x0228:  // FillRegion: region, brush
        case 0x0429:  // FrameRegion: region, brush, height, width
            return objects.Holds(r.Le16(p), WmfObject::kRegion) &&
                   objects.Holds(r.Le16(p + 2), WmfObject::kBrush);
        case 0x001E:
            objects.Save();
            return true;
        case 0x0127:
            return objects.Restore(r.Le16s(p));

        case 0x02FA:
            return objects.Create(WmfObject::kPen);
        case 0x02FC:
            return objects.Create(WmfObject::kBrush);
        case 0x02FB:
            return objects.Create(WmfObject::kFont);
        case 0x00F7:  // CreatePalette: start, count, entries
            return needs(2 + 2 * uint64_t(r.Le16(p + 2))) && objects.Create(WmfObject::kPalette);
        case 0x0037:  // SetPalEntries
        case 0x0436:  // AnimatePalette
            return needs(2 + 2 * uint64_t(r.Le16(p + 2)));
        case 0x06FF: {  // CreateRegion: a 22-byte header, then its scans of 8 bytes or more
            const uint16_t scans = r.Le16(p + 10);
            return needs(11 + 4 * uint64_t(scans)) && objects.Create(WmfObject::kRegion);
        }
        case 0x0142: {  // DIBCreatePatternBrush: style, colour use, DIB
            const uint16_t style = r.Le16(p), usage = r.Le16(p + 2);
            const bool indices = style != 3 && usage == 1;  // a pattern uses RGB colours
            return needs(2 + 20) && IsSoundDib(r, p + 4, end, p + 4, end, 0, indices) &&
                   objects.Create(WmfObject::kBrush);
        }
        case 0x01F9:  // CreatePatternBrush: Bitmap16 header, 18 reserved bytes, the bits
            return needs(14) && IsSoundBitmap16(r, p, p + 28, end) &&
                   objects.Create(WmfObject::kBrush);

        case 0x0521: {  // TextOut: length, string (padded), y, x
            const uint16_t length = r.Le16(p);
            return needs(1 + (uint64_t(length) + 1) / 2 + 2);
        }
        case 0x0A32: {  // ExtTextOut: y, x, count, options, [rect], string, [dx]
            if (!needs(4)) return false;
            const uint16_t count = r.Le16(p + 4), options = r.Le16(p + 6);
            const uint64_t rect = options & 0x0006 ? 4 : 0;
            return needs(4 + rect + (uint64_t(count) + 1) / 2);
        }
        case 0x0324:  // Polygon
        case 0x0325:  // Polyline
            return needs(1) && needs(1 + 2 * uint64_t(r.Le16(p)));
        case 0x0538: {  // PolyPolygon: count, point counts, points
            if (!needs(1)) return false;
            const uint16_t polygons = r.Le16(p);
            if (!needs(1 + uint64_t(polygons))) return false;
            uint64_t points = 0;
            for (uint16_t i = 0; i < polygons; ++i) points += r.Le16(p + 2 + size_t(i) * 2);
            return needs(1 + uint64_t(polygons) + 2 * points);
        }
        case 0x0626:  // Escape: function, byte count, data
            return needs(2) && needs(2 + (uint64_t(r.Le16(p + 2)) + 1) / 2);

        // Blits carry a bitmap when the record is longer than the form without one, whose
        // parameter count is the function's high byte.
        case 0x0922:  // BitBlt: rop, source y, x, height, width, destination y, x, Bitmap16
        case 0x0B23:  // StretchBlt: rop, source h, w, y, x, destination h, w, y, x, Bitmap16
        {
            const uint32_t bare = 3 + (function >> 8);
            if (words == bare) return true;
            const size_t bitmap = p + (function == 0x0922 ? 16 : 20);
            return words > bare && needs((bitmap - p) / 2 + 5) &&
                   IsSoundBitmap16(r, bitmap, bitmap + 10, end);
        }
        case 0x0940:  // DIBBitBlt: rop, source y, x, height, width, destination y, x, DIB
        case 0x0B41:  // DIBStretchBlt: rop, source h, w, y, x, destination h, w, y, x, DIB
        {
            const uint32_t bare = 3 + (function >> 8);
            if (words == bare) return true;
            const size_t dib = p + (function == 0x0940 ? 16 : 20);
            return words > bare && needs((dib - p) / 2 + 20) &&
                   IsSoundDib(r, dib, end, dib, end, 0, false);
        }
        case 0x0F43: {  // StretchDIB: rop, colour use, source h, w, y, x, dest h, w, y, x, DIB
            const size_t dib = p + 22;
            return needs(11 + 20) && IsSoundDib(r, dib, end, dib, end, 0, r.Le16(p + 4) == 1);
        }
        case 0x0D33: {  // SetDIBitsToDevice: colour use, scans, start, y, x, h, w, y, x, DIB
            const size_t dib = p + 18;
            return needs(9 + 20) &&
                   IsSoundDib(r, dib, end, dib, end, r.Le16(p + 2), r.Le16(p) == 1);
        }
        default:
            return true;
    }
}

// ---- EMF ----

// The EMF object table: records name their slot, below the header's handle count (slot 0 is
// meant for the metafile itself, but real files create objects there and players accept it);
// indices with the high bit set are stock objects.
class EmfObjectTable {
  public:
    explicit EmfObjectTable(uint16_t size) : used_(size, false) {}
    bool Create(uint32_t index) {
        if (index >= used_.size()) return false;
        used_[index] = true;
        return true;
    }
    bool Names(uint32_t index) const {
        return (index & 0x80000000u) || (index < used_.size() && used_[index]);
    }
    bool Delete(uint32_t index) {
        if (index & 0x80000000u) return true;  // stock objects are never deleted
        if (!Names(index)) return false;
        used_[index] = false;
        return true;
    }
    void Save() { ++depth_; }
    bool Restore(int32_t which) {
        if (which < 0 && uint64_t(-int64_t(which)) <= depth_) {
            depth_ -= uint32_t(-int64_t(which));
        } else if (which > 0 && uint32_t(which) <= depth_) {
            depth_ = uint32_t(which) - 1;
        } else {
            return false;
        }
        return true;
    }

  private:
    std::vector<bool> used_;
    uint32_t depth_ = 0;
};

uint32_t EmfFixedBytes(uint32_t type) {
    switch (type) {
        case 1:
            return 88;
        case 2:
        case 3:
        case 4:
        case 5:
        case 6:
        case 85:
        case 86:
        case 87:
        case 88:
        case 89:
        case 56:
        case 92:
            return 28;  // bounds and point count
        case 7:
        case 8:
        case 90:
        case 91:
            return 32;  // bounds, polygon and point counts
        case 14:
        case 15:
            return 20;
        case 9:
        case 10:
        case 11:
        case 12:
        case 13:
        case 26:
        case 27:
        case 54:
        case 120:
            return 16;
        case 16:
        case 17:
        case 18:
        case 19:
        case 20:
        case 21:
        case 22:
        case 24:
        case 25:
        case 34:
        case 37:
        case 40:
        case 48:
        case 57:
        case 58:
        case 67:
        case 98:
        case 100:
        case 101:
        case 115:
            return 12;
        case 29:
        case 30:
        case 31:
        case 32:
        case 42:
        case 43:
        case 53:
        case 111:
            return 24;
        case 28:
        case 33:
        case 59:
        case 60:
        case 61:
        case 65:
        case 66:
        case 68:
            return 8;
        case 62:
        case 63:
        case 64:
            return 24;
        case 23:
        case 35:
        case 44:
            return 32;
        case 36:
            return 36;
        case 38:
            return 28;
        case 39:
            return 24;
        case 41:
            return 28;
        case 45:
        case 46:
        case 47:
        case 55:
            return 40;
        case 49:
            return 16;
        case 50:
            return 20;
        case 51:
            return 16;
        case 70:
            return 12;
        case 71:
            return 32;
        case 72:
            return 40;
        case 73:
        case 74:
            return 28;
        case 75:
            return 16;
        case 76:
            return 100;
        case 77:
            return 108;
        case 78:
            return 128;
        case 79:
            return 140;
        case 80:
            return 76;
        case 81:
            return 80;
        case 82:
            return 104;  // index and a LOGFONTW
        case 83:
        case 84:
            return 76;
        case 93:
        case 94:
            return 32;
        case 95:
            return 52;
        case 96:
        case 97:
            return 40;
        case 99:
        case 122:
            return 12;
        case 108:
            return 36;
        case 114:
        case 116:
            return 108;
        default:
            return 8;
    }
}

// An optional bitmap given by header offset and size and bits offset and size, at `fields`.
bool IsSoundEmfBitmap(ByteReader& r, size_t at, uint32_t length, size_t fields, uint32_t fixed,
                      uint32_t rows, bool indices) {
    const uint32_t offBmi = r.Le32(at + fields), cbBmi = r.Le32(at + fields + 4);
    const uint32_t offBits = r.Le32(at + fields + 8), cbBits = r.Le32(at + fields + 12);
    if (r.failed()) return false;
    if (cbBmi == 0) return true;  // no source bitmap (a pattern-only operation)
    if (offBmi < fixed || offBmi > length || cbBmi > length - offBmi || offBits < fixed ||
        offBits > length || cbBits > length - offBits)
        return false;
    return IsSoundDib(r, at + offBmi, at + offBmi + cbBmi, at + offBits, at + offBits + cbBits,
                      rows, indices);
}

// Region data (a 32-byte header with its rectangle count, then the rectangles) of
// `bytes` bytes at `data`, inside the record.
bool IsSoundRegion(ByteReader& r, size_t data, uint32_t bytes, size_t end, bool mayBeEmpty) {
    if (bytes == 0) return mayBeEmpty;
    if (data > end || bytes > end - data || bytes < 32) return false;
    return uint64_t(r.Le32(data + 8)) * 16 + 32 <= bytes && !r.failed();
}

// One text run (reference point, count, string offset, options, rectangle, spacing offset)
// at `text`; offsets count from the record's start.
bool IsSoundEmfText(ByteReader& r, size_t text, uint32_t length, uint32_t charSize) {
    const uint32_t count = r.Le32(text + 8), offString = r.Le32(text + 12);
    const uint32_t options = r.Le32(text + 16), offDx = r.Le32(text + 36);
    if (r.failed() || offString > length || uint64_t(count) * charSize > length - offString)
        return false;
    if (offDx == 0) return true;
    const uint64_t dx = uint64_t(count) * (options & 0x2000 ? 8 : 4);  // ETO_PDY: x and y
    return offDx <= length && dx <= length - offDx;
}

bool IsSoundEmfRecord(ByteReader& r, size_t at, uint32_t type, uint32_t length,
                      EmfObjectTable& objects) {
    if (length < EmfFixedBytes(type)) return false;
    const size_t end = at + length;
    auto has = [&](uint64_t bytes) { return bytes <= length; };
    switch (type) {
        case 2:
        case 3:
        case 4:
        case 5:
        case 6:  // poly-Bézier, polygon, polyline and the "to" forms
            return has(28 + uint64_t(r.Le32(at + 24)) * 8);
        case 85:
        case 86:
        case 87:
        case 88:
        case 89:  // their 16-bit forms
            return has(28 + uint64_t(r.Le32(at + 24)) * 4);
        case 56:
            return has(28 + uint64_t(r.Le32(at + 24)) * 9);  // PolyDraw: points, types
        case 92:
            return has(28 + uint64_t(r.Le32(at + 24)) * 5);
        case 7:
        case 8:
        case 90:
        case 91: {  // poly-polyline and poly-polygon
            const uint32_t polygons = r.Le32(at + 24), points = r.Le32(at + 28);
            const uint64_t pointSize = type < 90 ? 8 : 4;
            if (!has(32 + uint64_t(polygons) * 4 + uint64_t(points) * pointSize)) return false;
            uint64_t sum = 0;
            for (uint32_t i = 0; i < polygons; ++i) sum += r.Le32(at + 32 + size_t(i) * 4);
            return sum <= points;
        }
        case 83:
        case 84:  // ExtTextOutA and W
            return IsSoundEmfText(r, at + 36, length, type == 84 ? 2 : 1);
        case 96:
        case 97: {  // PolyTextOutA and W: a count of runs of 40 bytes
            const uint32_t runs = r.Le32(at + 36);
            if (!has(40 + uint64_t(runs) * 40)) return false;
            for (uint32_t i = 0; i < runs; ++i)
                if (!IsSoundEmfText(r, at + 40 + size_t(i) * 40, length, type == 97 ? 2 : 1))
                    return false;
            return true;
        }
        case 108: {  // SmallTextOut: count at 16, options at 20, a rectangle unless NO_RECT
            const uint32_t count = r.Le32(at + 16), options = r.Le32(at + 20);
            const uint64_t rect = options & 0x100 ? 0 : 16;
            return has(36 + rect + uint64_t(count) * (options & 0x200 ? 1 : 2));
        }
        case 70:
            return has(12 + uint64_t(r.Le32(at + 8)));  // comment bytes

        case 71:
        case 72: {  // FillRgn, FrameRgn: region size, brush, region
            const uint32_t brush = r.Le32(at + 28);
            if (!objects.Names(brush)) return false;
            return IsSoundRegion(r, at + (type == 71 ? 32 : 40), r.Le32(at + 24), end, false);
        }
        case 73:
        case 74:
            return IsSoundRegion(r, at + 28, r.Le32(at + 24), end, false);
        case 75:
            return IsSoundRegion(r, at + 16, r.Le32(at + 8), end, true);

        case 37:
        case 48:
            return objects.Names(r.Le32(at + 8));  // SelectObject, SelectPalette
        case 40:
        case 101:
            return objects.Delete(r.Le32(at + 8));
        case 50:  // SetPaletteEntries: index, start, count, entries
            return has(20 + uint64_t(r.Le32(at + 16)) * 4) && objects.Names(r.Le32(at + 8));
        case 51:
        case 100:
            return objects.Names(r.Le32(at + 8));
        case 33:
            objects.Save();
            return true;
        case 34:
            return objects.Restore(r.Le32s(at + 8));
        case 38:
        case 39:
        case 82:
        case 99:
        case 122:
            return objects.Create(r.Le32(at + 8));
        case 49:  // CreatePalette: index, version, entry count, entries
            return has(16 + uint64_t(r.Le16(at + 14)) * 4) && objects.Create(r.Le32(at + 8));
        case 95:  // ExtCreatePen: index, bitmap fields, pen with its style entries
            return has(52 + uint64_t(r.Le32(at + 48)) * 4) &&
                   IsSoundEmfBitmap(r, at, length, 12, 52, 0, false) &&
                   objects.Create(r.Le32(at + 8));
        case 93:
        case 94:  // CreateMonoBrush, CreateDIBPatternBrushPt: index, usage, bitmap
            return r.Le32(at + 20) != 0 &&
                   IsSoundEmfBitmap(r, at, length, 16, 32, 0, r.Le32(at + 12) == 1) &&
                   objects.Create(r.Le32(at + 8));

        case 76:
        case 77:
        case 114:
        case 116:  // BitBlt, StretchBlt, AlphaBlend, TransparentBlt
            return IsSoundEmfBitmap(r, at, length, 84, EmfFixedBytes(type), 0,
                                    r.Le32(at + 80) == 1);
        case 78:  // MaskBlt: source and mask
            return IsSoundEmfBitmap(r, at, length, 84, 128, 0, r.Le32(at + 80) == 1) &&
                   IsSoundEmfBitmap(r, at, length, 112, 128, 0, false);
        case 79:  // PlgBlt
            return IsSoundEmfBitmap(r, at, length, 96, 140, 0, r.Le32(at + 92) == 1) &&
                   IsSoundEmfBitmap(r, at, length, 124, 140, 0, false);
        case 80: {  // SetDIBitsToDevice: the record supplies cScans lines
            return IsSoundEmfBitmap(r, at, length, 48, 76, r.Le32(at + 72), r.Le32(at + 64) == 1);
        }
        case 81:  // StretchDIBits
            return IsSoundEmfBitmap(r, at, length, 48, 80, 0, r.Le32(at + 64) == 1);
        default:
            return true;
    }
}

}  // namespace

bool IsWellFormedWmf(const uint8_t* data, size_t size) {
    if (!data || size > kMaxMetafileBytes) return false;
    ByteReader r(data, size);
    size_t at = r.Le32(0) == kPlaceableWmfKey ? kPlaceableWmfHeaderSize : 0;
    const uint16_t type = r.Le16(at), headerWords = r.Le16(at + 2);
    const uint16_t objectCount = r.Le16(at + 10);
    const uint32_t largestRecord = r.Le32(at + 12);
    if (r.failed() || (type != 1 && type != 2) || headerWords != 9) return false;
    WmfObjectTable objects(objectCount);
    at += 18;
    for (uint32_t records = 0; records < kMaxMetafileRecords; ++records) {
        const uint32_t words = r.Le32(at);
        const uint16_t function = r.Le16(at + 4);
        if (r.failed()) return false;
        if (function == kWmfEofFunction) return true;
        // A record has at least its size and function (3 words), ends inside the data and is
        // no larger than the header says the largest one is (players size buffers by it).
        if (words < 3 || words > largestRecord || !r.Has(at, static_cast<size_t>(words) * 2))
            return false;
        if (!IsSoundWmfRecord(r, at, words, function, objects) || r.failed()) return false;
        at += static_cast<size_t>(words) * 2;
    }
    return false;
}

bool IsWellFormedEmf(const uint8_t* data, size_t size) {
    if (!data || size > kMaxMetafileBytes) return false;
    ByteReader r(data, size);
    if (r.Le32(0) != kEmfHeaderType || r.Le32(40) != 0x464D4520u || r.failed()) return false;
    EmfObjectTable objects(r.Le16(56));
    size_t at = 0;
    for (uint32_t records = 0; records < kMaxMetafileRecords; ++records) {
        const uint32_t type = r.Le32(at), length = r.Le32(at + 4);
        if (r.failed()) return false;
        if (length < 8 || length % 4 != 0 || !r.Has(at, length)) return false;
        if (type == kEmfEofType) return true;
        if (!IsSoundEmfRecord(r, at, type, length, objects) || r.failed()) return false;
        at += length;
    }
    return false;
}

bool EmfCanvasSize(const uint8_t* data, size_t size, uint32_t& width, uint32_t& height) {
    width = height = 0;
    return IsWellFormedEmf(data, size) && ReadImagePixelSize(data, size, width, height) &&
           FitToPictureLimits(width, height);
}

}  // namespace image
}  // namespace platform
