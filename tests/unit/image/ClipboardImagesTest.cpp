#include "image/ClipboardImages.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "TestImages.h"
#include "image/CxImage.h"
#include "platform/clipboard/MemoryClipboard.h"
#include "platform/kernel/CodePage.h"
#include "platform/kernel/Text.h"

namespace {

using testimages::MakeTempDir;
using testimages::WriteFile;

std::wstring Wide(const std::string& s) {
    return std::wstring(s.begin(), s.end());
}

class ClipboardImagesTest : public testing::Test {
  protected:
    void SetUp() override {
        clipboard_ = std::make_shared<platform::MemoryClipboard>();
        platform::SetCurrentClipboard(clipboard_);
        dir_ = MakeTempDir();
        for (const char* name : {"x.JPG", "y.jpeg", "z.gif", "notes.txt", "a.PNG", "dot.", "nodot"})
            WriteFile(dir_ + "/" + name, "bytes");
        std::filesystem::create_directory(dir_ + "/sub");
        std::filesystem::create_directory(dir_ + "/album.png");  // a folder with an image name
    }
    void TearDown() override { platform::SetCurrentClipboard(nullptr); }

    std::wstring Path(const std::string& name) const { return Wide(dir_ + "/" + name); }
    std::string Ansi(const std::string& name) const { return dir_ + "/" + name; }

    std::shared_ptr<platform::MemoryClipboard> clipboard_;
    std::string dir_;
};

TEST_F(ClipboardImagesTest, CollectsImageFilesInOrderAndKeepsThemUntilTaken) {
    clipboard_->SetFileList({Path("x.JPG"), Path("y.jpeg"), Path("album.png"), Path("z.gif"),
                             Path("sub"), Path("dot."), Path("nodot"), L"/", L"C:\\"});
    ClipboardImageReader reader;
    EXPECT_TRUE(reader.IsFile());
    EXPECT_TRUE(reader.IsFile());
    const std::vector<std::string> twice = {Ansi("x.JPG"), Ansi("z.gif"), Ansi("x.JPG"),
                                            Ansi("z.gif")};
    EXPECT_EQ(twice, reader.TakeCollectedFiles());
    EXPECT_TRUE(reader.TakeCollectedFiles().empty());

    std::wstring found;
    EXPECT_TRUE(FindClipboardImageFile(found));
    EXPECT_EQ(Path("x.JPG"), found);
    // The paste command's set also takes ".jpeg", and never the folder named like a picture.
    const std::vector<std::wstring> all = {Path("x.JPG"), Path("y.jpeg"), Path("z.gif")};
    EXPECT_EQ(all, FindClipboardImageFiles());
}

TEST_F(ClipboardImagesTest, IsBitmapCollectsOnlyWithoutABitmap) {
    clipboard_->SetFileList({Path("notes.txt"), Path("a.PNG")});
    ClipboardImageReader reader;
    EXPECT_TRUE(reader.IsBitmap());
    EXPECT_EQ(std::vector<std::string>{Ansi("a.PNG")}, reader.TakeCollectedFiles());
    std::wstring found;
    EXPECT_TRUE(FindClipboardImageFile(found));
    EXPECT_EQ(Path("a.PNG"), found);

    platform::ClipboardBitmap bitmap;
    bitmap.width = 1;
    bitmap.height = 1;
    bitmap.bgra = {1, 2, 3, 0};
    clipboard_->SetBitmap(bitmap);
    EXPECT_TRUE(reader.IsBitmap());
    EXPECT_TRUE(reader.collectedFiles().empty());

    clipboard_->Clear();
    clipboard_->SetFileList({Path("notes.txt"), Path("sub")});
    EXPECT_FALSE(reader.IsBitmap());
    EXPECT_FALSE(reader.IsFile());
    EXPECT_FALSE(FindClipboardImageFile(found));
    EXPECT_TRUE(found.empty());
    clipboard_->Clear();
    EXPECT_FALSE(reader.IsFile());
}

TEST_F(ClipboardImagesTest, FailingReadsKeepEarlierPaths) {
    clipboard_->SetFileList({Path("z.gif")});
    ClipboardImageReader reader;
    EXPECT_TRUE(reader.IsFile());
    clipboard_->SetFailReads(true);
    EXPECT_TRUE(reader.IsFile());  // the earlier path still counts
    EXPECT_EQ(1u, reader.collectedFiles().size());
    std::wstring found;
    EXPECT_FALSE(FindClipboardImageFile(found));
    EXPECT_FALSE(ReadClipboardBitmap());
    CxImage image;
    EXPECT_FALSE(ReadClipboardDib(image));
}

TEST_F(ClipboardImagesTest, LongPathsAreCut) {
    // 300 ANSI bytes: the cut path loses its extension and is not collected; the others fit
    // in 259 bytes.
    const std::wstring longAnsi = Wide("/" + std::string(295, 'a') + ".jpg");
    // 254 UTF-16 units is the most the wide path keeps; one more unit loses the extension.
    const std::wstring fits = L"/" + std::wstring(249, L'b') + L".png";
    const std::wstring tooLong = L"/" + std::wstring(250, L'c') + L".png";
    // A character outside the basic plane takes two units.
    const std::wstring astral = L"/" + std::wstring(248, L'd') + L"\U0001F600.png";
    clipboard_->SetFileList({longAnsi, tooLong, astral, fits});
    platform::SetAnsiCodePage("UTF-8");
    ClipboardImageReader reader;
    EXPECT_TRUE(reader.IsFile());
    const std::vector<std::string> collected = {util::WideToAnsi(tooLong), util::WideToAnsi(astral),
                                                util::WideToAnsi(fits)};
    EXPECT_EQ(collected, reader.TakeCollectedFiles());
    platform::SetAnsiCodePage("");
    EXPECT_EQ(std::vector<std::wstring>{fits}, FindClipboardImageFiles());
}

TEST_F(ClipboardImagesTest, ReadsBitmapsAndDeviceIndependentBitmaps) {
    EXPECT_FALSE(ReadClipboardBitmap());
    platform::ClipboardBitmap bitmap;
    bitmap.width = 2;
    bitmap.height = 1;
    bitmap.bgra = {10, 20, 30, 0, 40, 50, 60, 7};
    clipboard_->SetBitmap(bitmap);
    const ImagePtr image = ReadClipboardBitmap();
    ASSERT_TRUE(image);
    const std::vector<uint8_t> opaque = {10, 20, 30, 255, 40, 50, 60, 255};
    EXPECT_EQ(opaque, image->bgra);

    bitmap.bgra.resize(3);  // a handle without usable pixels: an empty picture
    clipboard_->SetBitmap(bitmap);
    const ImagePtr unusable = ReadClipboardBitmap();
    ASSERT_TRUE(unusable);
    EXPECT_TRUE(EncodeJpeg(unusable, 100).empty());

    CxImage dib;
    EXPECT_FALSE(ReadClipboardDib(dib));
    const std::string block = testimages::DibFromBitmap(testimages::Gradient(5, 4));
    clipboard_->SetData(platform::kClipboardDib, block);
    EXPECT_TRUE(ReadClipboardDib(dib));
    EXPECT_TRUE(dib.IsValid());
    EXPECT_EQ(5u, dib.GetWidth());
    clipboard_->SetData(platform::kClipboardDib, block.substr(0, 30));
    CxImage cut;
    EXPECT_TRUE(ReadClipboardDib(cut));
    EXPECT_FALSE(cut.IsValid());
}

}  // namespace
