// The "FileUploader_" script members: one upload entry per file the page wants on the server.
// Every member taking an id looks it up first; an unknown id does nothing and leaves the
// result void.
#include <algorithm>
#include <boost/bind/bind.hpp>
#include <boost/function.hpp>

#include "config/AppConfig.h"
#include "image/CImageFileUploader.h"
#include "image/UploaderTable.h"
#include "platform/kernel/Text.h"
#include "plugin/CPlugin.h"
#include "plugin/Members.h"
#include "plugin/ScriptValues.h"

namespace {

typedef boost::function<void(CImageFileUploader&, const NPVariant*, NPVariant*)> EntryMember;

std::string AsciiLower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    return text;
}

// A handler that finds the entry named by args[0] and runs the member on it.
ScriptHandler ForEntry(UploaderTable& table, EntryMember member) {
    return [&table, member](const NPVariant* in, NPVariant* out) {
        if (!in) return;
        CImageFileUploader* entry = table.Find(ToInt(&in[0]));
        if (entry) member(*entry, in, out);
    };
}

EntryMember StoreObject(CImageFileUploader::ScriptObjectSlot slot) {
    return [slot](CImageFileUploader& entry, const NPVariant* in, NPVariant*) {
        entry.SetScriptObject(slot, ToObject(&in[1]));
    };
}

void GetResponse(CImageFileUploader& entry, const NPVariant*, NPVariant* out) {
    if (out) SetStringResult(entry.GetResponse(), out);
}

void SetLocalFile(CImageFileUploader& entry, const NPVariant* in, NPVariant*) {
    entry.SetLocalFile(util::Utf8ToWide(ToStdString(&in[1])));
}

// Stored in the ANSI code page (the paster's own member keeps UTF-8).
void SetPostUrl(CImageFileUploader&, const NPVariant* in, NPVariant*) {
    AppConfig::Instance().postUrl = util::WideToAnsi(util::Utf8ToWide(ToStdString(&in[1])));
}

void SetEncodeType(CImageFileUploader&, const NPVariant* in, NPVariant*) {
    AppConfig::Instance().encodeType = AsciiLower(ToStdString(&in[1]));
}

void SetImageType(CImageFileUploader&, const NPVariant* in, NPVariant*) {
    AppConfig::Instance().imageType = AsciiLower(ToStdString(&in[1]));
}

void SetJpgQuality(CImageFileUploader&, const NPVariant* in, NPVariant*) {
    AppConfig::Instance().jpegQuality = static_cast<int16_t>(ToInt(&in[1]));
}

void SetWidth(CImageFileUploader& entry, const NPVariant* in, NPVariant*) {
    entry.SetWidth(ToInt(&in[1]));
}

void SetHeight(CImageFileUploader& entry, const NPVariant* in, NPVariant*) {
    entry.SetHeight(ToInt(&in[1]));
}

void SetThumbSize(CImageFileUploader& entry, const NPVariant* in, NPVariant*) {
    entry.SetThumbSize(ToInt(&in[1]), ToInt(&in[2]));
}

void Init(CImageFileUploader& entry, const NPVariant* in, NPVariant*) {
    entry.ApplyDocument(ToStdString(&in[1]));
}

void AddField(CImageFileUploader& entry, const NPVariant* in, NPVariant*) {
    entry.AddField(ToStdString(&in[1]), ToStdString(&in[2]));
}

void Post(CImageFileUploader& entry, const NPVariant*, NPVariant*) {
    entry.Post();
}

void Stop(CImageFileUploader& entry, const NPVariant*, NPVariant*) {
    entry.Stop();
}

}  // namespace

void RegisterFileUploaderMethods(CPlugin& plugin, UploaderTable& uploaders) {
    typedef CImageFileUploader Entry;
    UploaderTable& t = uploaders;
    plugin.RegisterMethod("FileUploader_GetResponse", ForEntry(t, &GetResponse));
    plugin.RegisterMethod("FileUploader_SetObject", ForEntry(t, StoreObject(Entry::kObject)));
    plugin.RegisterMethod("FileUploader_SetLocalFile", ForEntry(t, &SetLocalFile));
    plugin.RegisterMethod("FileUploader_SetPostUrl", ForEntry(t, &SetPostUrl));
    plugin.RegisterMethod("FileUploader_SetEncodeType", ForEntry(t, &SetEncodeType));
    plugin.RegisterMethod("FileUploader_SetImageType", ForEntry(t, &SetImageType));
    plugin.RegisterMethod("FileUploader_SetJpgQuality", ForEntry(t, &SetJpgQuality));
    plugin.RegisterMethod("FileUploader_SetOnComplete",
                          ForEntry(t, StoreObject(Entry::kOnComplete)));
    plugin.RegisterMethod("FileUploader_SetOnConnected",
                          ForEntry(t, StoreObject(Entry::kOnConnected)));
    plugin.RegisterMethod("FileUploader_SetOnError", ForEntry(t, StoreObject(Entry::kOnError)));
    plugin.RegisterMethod("FileUploader_SetOnPost", ForEntry(t, StoreObject(Entry::kOnPost)));
    plugin.RegisterMethod("FileUploader_SetWidth", ForEntry(t, &SetWidth));
    plugin.RegisterMethod("FileUploader_SetHeight", ForEntry(t, &SetHeight));
    plugin.RegisterMethod("FileUploader_SetThumbSize", ForEntry(t, &SetThumbSize));
    plugin.RegisterMethod("FileUploader_Init", ForEntry(t, &Init));
    plugin.RegisterMethod("FileUploader_StateChanged",
                          ForEntry(t, StoreObject(Entry::kStateChanged)));
    plugin.RegisterMethod("FileUploader_AddFile", [&t](const NPVariant*, NPVariant* out) {
        const int32_t id = t.Add();
        if (out) SetIntAsStringResult(id, out);
    });
    plugin.RegisterMethod("FileUploader_DelFile", [&t](const NPVariant* in, NPVariant*) {
        if (in) t.Remove(ToInt(&in[0]));
    });
    plugin.RegisterMethod("FileUploader_Post", ForEntry(t, &Post));
    plugin.RegisterMethod("FileUploader_Stop", ForEntry(t, &Stop));
    plugin.RegisterMethod("FileUploader_AddField", ForEntry(t, &AddField));
}
