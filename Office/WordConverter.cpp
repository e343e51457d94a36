#include "Office/WordConverter.h"

#include "Office/SourceOrigin.h"
#include "Office/steps/Steps.h"

WordConverter::WordConverter() = default;

WordConverter::~WordConverter() = default;

bool WordConverter::HasHtml() {
    return ClipboardHasHtml();
}

void WordConverter::ReadClipboard() {
    ReadClipboardHtml(text_);
}

bool WordConverter::TestWord() const {
    return IsWordSource(text_);
}

bool WordConverter::TestExcel() const {
    return IsExcelSource(text_);
}

bool WordConverter::IsWord() {
    if (!HasHtml()) return false;
    ReadClipboard();
    return TestWord();
}

bool WordConverter::IsExcel() {
    if (!HasHtml()) return false;
    ReadClipboard();
    return TestExcel();
}

void WordConverter::CutFragment() {
    CutWordFragment(text_);
}

void WordConverter::CutTable() {
    CutExcelTable(text_);
}

void WordConverter::GetWord() {
    Get(WordPipeline::Cut::kWordFragment);
}

void WordConverter::GetExcel() {
    Get(WordPipeline::Cut::kExcelTable);
}

void WordConverter::Get(WordPipeline::Cut cut) {
    WordPipeline::KeepBounded(text_);  // the last result's pages take the next read
    ReadClipboard();
    pipeline_.Run(text_, cut);
}

bool WordConverter::ConvertClipboard() {
    WordPipeline::KeepBounded(text_);  // the last result's pages take the next read
    if (HasHtml()) ReadClipboard();
    const bool excel = !text_.empty() && TestExcel();
    pipeline_.Run(text_, excel ? WordPipeline::Cut::kExcelTable : WordPipeline::Cut::kWordFragment);
    return excel;
}

void WordConverter::Convert() {
    pipeline_.Convert(text_);
}
