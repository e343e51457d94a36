// Every event text the page receives through "StateChanged", built in one place: the paste
// command's "Parser_*" events, the upload entries' "File_*" and "Fire_DownError" events.
// All are written by WriteEventText (events/EventText.h): compact JSON, keys in byte order,
// a line feed at the end, except the fixed "Parser_PasteImage" text.
//
// UTF-8: texts that come from outside the process (a server's answer to an upload entry,
// the fields of a picture's tag) are normalised, so that a page never receives ill-formed
// UTF-8 from them. The converted document ("word") is the converter's own output and is
// passed as it is; the paste command's "Parser_PostComplete" passes the server's answer as it
// came, as pages of the paste command have always received it.
#pragma once

#include <json/value.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Office/WordConverter.h"
#include "script/EventSink.h"

// The one event whose text is fixed (no line feed): a pasted bitmap starts uploading.
extern const char kPasteImageEventText[];

// Converts the clipboard content with `converter` (Excel content, told by its source address,
// keeps its copied table) and answers {"name", "word", "imgs"}: "imgs" lists, in image-table
// order, {"html","alt","width","height","src","ext","name"} per picture and is absent when
// there is none.
Json::Value PasteWordEvent(WordConverter& converter);
// Converts as PasteWordEvent does and posts the event's text to `sink`; without room for the
// text, the text of an empty conversion. The text is written straight from the converter's
// output at its final size, the same bytes as WriteEventText(PasteWordEvent(converter)).
void PostPasteWordEvent(WordConverter& converter, script::EventSink& sink);
// The event text of the conversion the converter holds (as PasteWordEvent describes it).
std::string PasteWordEventText(const WordConverter& converter, bool excel);

// One pasted image file of a "Parser_PasteFiles" event: its path, file name and extension
// (without the dot), UTF-8.
struct PastedFile {
    std::string src;
    std::string name;
    std::string ext;
};
std::string PasteFilesEventText(const std::vector<PastedFile>& files);

// The paste command's bitmap upload.
std::string PostCompleteEventText(const std::string& response);
std::string PostErrorEventText(unsigned int code);
std::string PostProcessEventText(const std::string& timeLeft, int32_t posted,
                                 const std::string& percent, int32_t speed);

// An upload entry's job, by the id the page gave it.
std::string FilePostCompleteEventText(int32_t id, const std::string& response);
std::string FilePostErrorEventText(int32_t id, unsigned int code);
std::string FilePostProcessEventText(int32_t id, int32_t posted, const std::string& percent,
                                     int32_t speed, const std::string& timeLeft);
std::string FireDownErrorEventText(int32_t id, unsigned int code);
