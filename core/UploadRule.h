// The checks "FileUploader_Post" makes under the instance's policy before an entry starts,
// before a byte of its file is read or a connection made: the upload address and a web
// source's address against "upload_origins", a local file against "local_files" (with
// "pasted": a paste of the instance reported it and its content is a picture we upload) and
// its size against "max_upload_bytes". A refusal raises the entry's "File_PostError" (code 2)
// and logs a line naming the rule. An entry that starts gets the redirect check of its
// download.
#pragma once

class CImageFileUploader;
class PageInstance;

// True when the entry may start; false when refused (the refusal is reported).
bool MayPost(PageInstance& page, CImageFileUploader& entry);

// The error code of a refused upload: that of an upload that failed.
constexpr unsigned int kRefusedUploadCode = 2;
