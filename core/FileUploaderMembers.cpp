// The "FileUploader_" members: one upload entry per file the page wants on the server.
// Every member taking an id looks it up first; an unknown id does nothing and leaves the
// result void.
#include <algorithm>

#include "config/AppConfig.h"
#include "core/Members.h"
#include "core/PageInstance.h"
#include "core/UploadRule.h"
#include "image/CImageFileUploader.h"
#include "image/UploaderTable.h"
#include "platform/kernel/Text.h"

namespace script {
namespace {

typedef CImageFileUploader Entry;

std::string AsciiLower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    return text;
}

// The method on the entry named by the first argument.
template <ScriptValue (*member)(Entry&, const ScriptArgs&)>
ScriptValue OnEntry(PageInstance& page, const ScriptArgs& args) {
    Entry* entry = page.uploaders().Find(ToInt(args[0]));
    return entry ? member(*entry, args) : ScriptValue();
}

template <Entry::ScriptObjectSlot slot>
ScriptValue StoreObject(Entry& entry, const ScriptArgs& args) {
    entry.SetScriptObject(slot, ToObject(args[1]));
    return ScriptValue();
}

ScriptValue GetResponse(Entry& entry, const ScriptArgs&) {
    return StringResult(entry.GetResponse());
}

ScriptValue SetLocalFile(Entry& entry, const ScriptArgs& args) {
    entry.SetLocalFile(util::Utf8ToWide(ToStdString(args[1])));
    return ScriptValue();
}

// Stored in the ANSI code page (the paster's own member keeps UTF-8).
ScriptValue SetPostUrl(Entry&, const ScriptArgs& args) {
    AppConfig::Instance().postUrl = util::WideToAnsi(util::Utf8ToWide(ToStdString(args[1])));
    return ScriptValue();
}

ScriptValue SetEncodeType(Entry&, const ScriptArgs& args) {
    AppConfig::Instance().encodeType = AsciiLower(ToStdString(args[1]));
    return ScriptValue();
}

ScriptValue SetImageType(Entry&, const ScriptArgs& args) {
    AppConfig::Instance().imageType = AsciiLower(ToStdString(args[1]));
    return ScriptValue();
}

ScriptValue SetJpgQuality(Entry&, const ScriptArgs& args) {
    AppConfig::Instance().jpegQuality = static_cast<int16_t>(ToInt(args[1]));
    return ScriptValue();
}

ScriptValue SetWidth(Entry& entry, const ScriptArgs& args) {
    entry.SetWidth(ToInt(args[1]));
    return ScriptValue();
}

ScriptValue SetHeight(Entry& entry, const ScriptArgs& args) {
    entry.SetHeight(ToInt(args[1]));
    return ScriptValue();
}

ScriptValue SetThumbSize(Entry& entry, const ScriptArgs& args) {
    entry.SetThumbSize(ToInt(args[1]), ToInt(args[2]));
    return ScriptValue();
}

ScriptValue Init(Entry& entry, const ScriptArgs& args) {
    entry.ApplyDocument(ToStdString(args[1]));
    return ScriptValue();
}

ScriptValue AddField(Entry& entry, const ScriptArgs& args) {
    entry.AddField(ToStdString(args[1]), ToStdString(args[2]));
    return ScriptValue();
}

ScriptValue Post(PageInstance& page, const ScriptArgs& args) {
    Entry* entry = page.uploaders().Find(ToInt(args[0]));
    if (entry && MayPost(page, *entry)) entry->Post();
    return ScriptValue();
}

ScriptValue Stop(Entry& entry, const ScriptArgs&) {
    entry.Stop();
    return ScriptValue();
}

ScriptValue AddFile(PageInstance& page, const ScriptArgs&) {
    return IntAsStringResult(page.uploaders().Add());
}

ScriptValue DelFile(PageInstance& page, const ScriptArgs& args) {
    page.uploaders().Remove(ToInt(args[0]));
    return ScriptValue();
}

}  // namespace

std::vector<Member> FileUploaderMethods() {
    return {Method("FileUploader_GetResponse", 1, &OnEntry<&GetResponse>),
            Method("FileUploader_SetObject", 2, &OnEntry<&StoreObject<Entry::kObject>>),
            Method("FileUploader_SetLocalFile", 2, &OnEntry<&SetLocalFile>),
            Method("FileUploader_SetPostUrl", 2, &OnEntry<&SetPostUrl>),
            Method("FileUploader_SetEncodeType", 2, &OnEntry<&SetEncodeType>),
            Method("FileUploader_SetImageType", 2, &OnEntry<&SetImageType>),
            Method("FileUploader_SetJpgQuality", 2, &OnEntry<&SetJpgQuality>),
            Method("FileUploader_SetOnComplete", 2, &OnEntry<&StoreObject<Entry::kOnComplete>>),
            Method("FileUploader_SetOnConnected", 2, &OnEntry<&StoreObject<Entry::kOnConnected>>),
            Method("FileUploader_SetOnError", 2, &OnEntry<&StoreObject<Entry::kOnError>>),
            Method("FileUploader_SetOnPost", 2, &OnEntry<&StoreObject<Entry::kOnPost>>),
            Method("FileUploader_SetWidth", 2, &OnEntry<&SetWidth>),
            Method("FileUploader_SetHeight", 2, &OnEntry<&SetHeight>),
            Method("FileUploader_SetThumbSize", 3, &OnEntry<&SetThumbSize>),
            Method("FileUploader_Init", 2, &OnEntry<&Init>),
            Method("FileUploader_StateChanged", 2, &OnEntry<&StoreObject<Entry::kStateChanged>>),
            Method("FileUploader_AddFile", 0, &AddFile),
            Method("FileUploader_DelFile", 1, &DelFile),
            Method("FileUploader_Post", 1, &Post),
            Method("FileUploader_Stop", 1, &OnEntry<&Stop>),
            Method("FileUploader_AddField", 3, &OnEntry<&AddField>)};
}

}  // namespace script
