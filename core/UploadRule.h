// The check "FileUploader_Post" makes before an entry starts: under the bridge's upload rule
// (core/PastedFiles.h) a local file that no paste of the instance reported is refused before
// a byte of it is read, with the entry's "File_PostError" event (code 2) and a log line.
#pragma once

class CImageFileUploader;
class PageInstance;

// True when the entry may start; false when refused (the refusal is reported).
bool MayPost(PageInstance& page, const CImageFileUploader& entry);

// The error code of a refused upload: that of an upload that failed.
constexpr unsigned int kRefusedUploadCode = 2;
