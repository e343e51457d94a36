// The configuration's part in the device-independent bitmap path: its JPEG quality.
#include "config/AppConfig.h"
#include "image/CxImage.h"
#include "image/CxMemFile.h"

bool AppConfig::EncodeDibAsJpeg(CxMemFile& file, CxImage& image) const {
    file.Open();
    if (!image.IsGrayScale()) image.IncreaseBpp(24);
    // Only the low 8 bits of the setting reach the encoder: 300 becomes 44.
    image.SetJpegQuality(static_cast<uint8_t>(jpegQuality & 0xFF));
    return image.Encode(file, CXIMAGE_FORMAT_JPG);
}
