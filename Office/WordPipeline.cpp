#include "Office/WordPipeline.h"

#include <new>

#include "Biz/Log.h"
#include "Office/steps/Steps.h"
#include "platform/kernel/LargeBuffer.h"

WordPipeline::WordPipeline(const TextEngine& engine) : engine_(engine) {}

WordPipeline::~WordPipeline() = default;

void WordPipeline::Run(std::string& text, Cut cut) {
    images_.clear();
    try {
        Conversion c(text, images_, css_, shapes_, engine_, scratch_);
        LoadClassStyles(c);
        if (cut == Cut::kExcelTable) {
            CutExcelTable(text);
        } else {
            CutWordFragment(text);
        }
    } catch (const std::bad_alloc&) {
        Abandon(text, "styles");
        return;
    }
    Convert(text);
}

void WordPipeline::Convert(std::string& text) {
    const bool large = text.size() >= kLargeTextBytes;
    try {
        Conversion c(text, images_, css_, shapes_, engine_, scratch_);
        RemoveOfficeMarkup(c);
        RestyleBareParagraphs(c);
        ScanShapes(c);  // reads the VML blocks before they are opened
        ResolveConditionalComments(c);
        RenameShapeMarkup(c);
        RunTagPass(c);  // class styles, anchors, shapes, local pictures, paragraphs
    } catch (const std::bad_alloc&) {
        Abandon(text, "convert");
    }
    KeepBounded(scratch_);
    // The lists of a large text's tag pass were megabytes, freed in the middle of the heap.
    if (large) platform::ReleaseFreeHeapPages();
}

void WordPipeline::KeepBounded(std::string& buffer) {
    if (buffer.capacity() > kKeptBufferBytes) {
        std::string().swap(buffer);
    } else {
        buffer.clear();
    }
}

void WordPipeline::Abandon(std::string& text, const char* step) {
    std::string().swap(text);
    std::string().swap(scratch_);
    images_.clear();
    QUILLON_TRACE(Log::kWordConverter, __LINE__, Log::Gbk(u8"转换内存不足，结果为空：") << step);
}
