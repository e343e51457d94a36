// The paste command's Word/Excel path: convert the clipboard's "HTML Format" and describe the
// result as the object of the "Parser_PasteWord" (or "Parser_PasteExcel") event.
#pragma once

#include <json/value.h>

#include "Office/WordConverter.h"

// Converts the clipboard content with `converter` (Excel content, told by its source address,
// keeps its copied table) and answers {"name", "word", "imgs"}: "imgs" lists, in image-table
// order, {"html","alt","width","height","src","ext","name"} per picture and is absent when
// there is none.
Json::Value PasteWordEvent(WordConverter& converter);
