#include "image/ClipboardImages.h"

#include <boost/algorithm/string/predicate.hpp>
#include <cctype>

#include "image/CxImage.h"
#include "image/PathNames.h"
#include "platform/clipboard/Clipboard.h"
#include "platform/kernel/Text.h"

namespace {

// DragQueryFileA fills 260 bytes and DragQueryFileW 255 units, the terminator included.
const size_t kAnsiPathBytes = 259;
const size_t kWidePathUnits = 254;

const char* const kCollectorExtensions[] = {".jpg", ".bmp", ".png", ".gif"};
const wchar_t* const kPasteExtensions[] = {L".jpg", L".bmp", L".png", L".jpeg", L".gif"};

// Cuts the path to at most `units` UTF-16 code units, never inside a surrogate pair.
std::wstring CutToUtf16Units(const std::wstring& path, size_t units) {
    size_t used = 0, i = 0;
    for (; i < path.size(); ++i) {
        // Above U+FFFF (only where wide text is UTF-32): a surrogate pair in UTF-16.
        const size_t width = (static_cast<uint32_t>(path[i]) >> 16) != 0 ? 2 : 1;
        if (used + width > units) break;
        used += width;
    }
    // Where wide text is UTF-16 the pair is two units of its own: never end between them.
    if (i > 0 && i < path.size() && path[i - 1] >= 0xD800 && path[i - 1] <= 0xDBFF &&
        path[i] >= 0xDC00 && path[i] <= 0xDFFF) {
        --i;
    }
    return path.substr(0, i);
}

bool IsCollectorImage(const std::string& ansiPath) {
    std::string extension = ExtensionOf(ansiPath);
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const char* candidate : kCollectorExtensions) {
        if (extension == candidate) return true;
    }
    return false;
}

bool IsPasteImage(const std::wstring& path) {
    for (const wchar_t* candidate : kPasteExtensions) {
        if (boost::algorithm::iends_with(path, candidate)) return true;
    }
    return false;
}

bool IsRootOrDirectory(const std::wstring& path) {
    return IsRootPath(path) || IsDirectoryPath(path);
}

std::vector<std::wstring> ClipboardFiles() {
    std::vector<std::wstring> paths;
    if (!platform::CurrentClipboard()->GetFileList(paths)) paths.clear();
    return paths;
}

std::vector<std::wstring> PasteImages(bool firstOnly) {
    std::vector<std::wstring> found;
    for (const std::wstring& listed : ClipboardFiles()) {
        const std::wstring path = CutToUtf16Units(listed, kWidePathUnits);
        if (IsRootOrDirectory(path) || !IsPasteImage(path)) continue;
        found.push_back(path);
        if (firstOnly) break;
    }
    return found;
}

}  // namespace

std::vector<std::string> CollectedFileList::Take() {
    std::vector<std::string> out(paths_.begin(), paths_.end());
    paths_.clear();
    return out;
}

bool ClipboardImageReader::IsBitmap() {
    const std::shared_ptr<platform::Clipboard> clipboard = platform::CurrentClipboard();
    if (clipboard->IsFormatAvailable(platform::kClipboardBitmap)) return true;
    if (clipboard->IsFormatAvailable(platform::kClipboardDib)) return true;
    return CollectFiles();
}

bool ClipboardImageReader::IsFile() {
    return CollectFiles();
}

bool ClipboardImageReader::CollectFiles() {
    if (!platform::CurrentClipboard()->IsFormatAvailable(platform::kClipboardHdrop)) return false;
    for (const std::wstring& listed : ClipboardFiles()) {
        std::string ansi = util::WideToAnsi(listed);
        if (ansi.size() > kAnsiPathBytes) ansi.resize(kAnsiPathBytes);
        // The root and directory tests see the path as cut.
        const std::wstring path = util::AnsiToWide(ansi);
        if (IsRootOrDirectory(path) || !IsCollectorImage(ansi)) continue;
        files_.Append(ansi);
    }
    return !files_.empty();
}

ImagePtr ReadClipboardBitmap() {
    platform::ClipboardBitmap clip;
    if (!platform::CurrentClipboard()->GetBitmap(clip)) return ImagePtr();
    ImagePtr image(new platform::image::Bitmap);
    const size_t expected = static_cast<size_t>(clip.width) * clip.height * 4;
    if (expected == 0 || clip.bgra.size() != expected ||
        !platform::image::IsAcceptableSize(clip.width, clip.height))
        return image;
    image->width = clip.width;
    image->height = clip.height;
    image->bgra = std::move(clip.bgra);
    // The fourth byte of a screen bitmap is reserved, not alpha.
    for (size_t i = 3; i < image->bgra.size(); i += 4) image->bgra[i] = 0xFF;
    return image;
}

bool ReadClipboardDib(CxImage& image) {
    std::string block;
    if (!platform::CurrentClipboard()->GetData(platform::kClipboardDib, block)) return false;
    image.CreateFromDib(block.data(), block.size());
    return true;
}

bool FindClipboardImageFile(std::wstring& path) {
    path.clear();
    const std::vector<std::wstring> found = PasteImages(true);
    if (found.empty()) return false;
    path = found.front();
    return true;
}

std::vector<std::wstring> FindClipboardImageFiles() {
    return PasteImages(false);
}
