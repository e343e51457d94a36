// How images become upload bytes: encoding pictures as PNG or JPEG in memory, decoding bytes
// into pictures, unpacking gzip-compressed metafiles and drawing ".wmz" equations, and the
// preparation of a local file by its extension.
#pragma once

#include <boost/shared_ptr.hpp>
#include <cstdint>
#include <string>

#include "platform/image/Bitmap.h"
#include "util/SharedBuffer.h"

// A decoded picture shared between its users; null when nothing could be decoded.
typedef boost::shared_ptr<platform::image::Bitmap> ImagePtr;

// The process-wide encoder table. Only PNG and JPEG are used (and implemented); the others
// give the empty result.
enum class ImageEncoder { kPng, kBmp, kJpeg, kGif, kTiff };

// An encoded image with the extension to send (with its dot, as found or as produced).
struct EncodedImage {
    util::SharedBuffer bytes;
    std::wstring extension;
};

// Without a quality the JPEG encoder uses this one.
const int32_t kDefaultJpegQuality = 75;
// GunzipBytes refuses to give more than this (a gzip bomb gives the empty result).
const uint32_t kMaxGunzipBytes = 64u << 20;
// Files of this size or more cannot be counted in 32 bits and are not read.
const int64_t kMaxSourceFileBytes = int64_t(1) << 31;

// The image encoded in memory; empty when the image is null or empty or the encoder is not
// supported. `quality` applies to JPEG only.
util::SharedBuffer EncodeImage(const ImagePtr& image, ImageEncoder encoder,
                               int32_t quality = kDefaultJpegQuality);
util::SharedBuffer EncodeJpeg(const ImagePtr& image, int32_t quality);
// Decodes the bytes by their content: JPEG, PNG, BMP, EMF and placeable WMF (metafiles at
// their natural size on white). Null when they are none of these or cannot be decoded.
ImagePtr LoadImageFromBytes(const char* bytes, uint32_t count);
// The gzip stream's content (RFC 1952) in a zero-terminated buffer; empty when the data is
// not gzip, is cut short, fails its checksum or unpacks to more than kMaxGunzipBytes.
util::SharedBuffer GunzipBytes(const char* bytes, uint32_t count);
// A new picture of the same size in which every pixel whose red, green or blue is not zero
// is fully transparent (all zero); black pixels keep their value, alpha included.
ImagePtr KeepBlackPixels(const ImagePtr& image);
// Reduces every pixel to opaque black or opaque white, whichever is nearer.
void ReduceToBlackAndWhite(platform::image::Bitmap& bitmap);
// A ".wmz" file drawn stretched to width x height on white, reduced to black and white,
// black kept and the rest transparent, as PNG. Empty for a size of 0, bad gzip data or
// content that is not a drawable metafile.
util::SharedBuffer RenderMetafile(const std::wstring& path, int32_t width, int32_t height);
// The bytes and extension to upload for a local file (see the table in the .cpp file).
EncodedImage PrepareUploadImage(const std::wstring& path, int32_t width, int32_t height);
// Whether PrepareUploadImage re-encodes the file (".emz", ".wmz", ".bmp") rather than sending
// its bytes unchanged, and the extension those unchanged bytes are sent with.
bool IsConvertedForUpload(const std::wstring& path);
std::wstring UnchangedUploadExtension(const std::wstring& path);
