// The "ImgPst_" members: the instance's image paster and the process settings it uploads with.
#include "config/AppConfig.h"
#include "core/Members.h"
#include "core/PageInstance.h"
#include "core/PastedFiles.h"
#include "image/CImagePaster.h"
#include "platform/kernel/Text.h"

namespace script {
namespace {

ScriptValue Stop(PageInstance&, const ScriptArgs&) {
    // A paster upload cannot be stopped.
    return ScriptValue();
}

ScriptValue SetThumbSize(PageInstance&, const ScriptArgs& args) {
    // Only numbers that arrive as doubles count; whole numbers arrive as Int32 and are ignored.
    if (!args[0].IsDouble() || !args[1].IsDouble()) return ScriptValue();
    AppConfig& config = AppConfig::Instance();
    config.thumbWidth = ToInt(args[0]);
    config.thumbHeight = ToInt(args[1]);
    return ScriptValue();
}

ScriptValue Paste(PageInstance& page, const ScriptArgs&) {
    return page.imagePaster().Paste() ? BoolResult(true) : ScriptValue();
}

ScriptValue IsFile(PageInstance& page, const ScriptArgs&) {
    return BoolResult(page.imagePaster().IsFile());
}

ScriptValue IsBitmap(PageInstance& page, const ScriptArgs&) {
    return BoolResult(page.imagePaster().IsBitmap());
}

ScriptValue GetFiles(PageInstance& page, const ScriptArgs&) {
    // Nothing collected gives null, which the page can test.
    ScriptValue files = page.imagePaster().GetFiles();
    if (page.pastedFiles() && files.type() == ScriptValue::kStringList)
        page.pastedFiles()->Add(files.list());
    return files;
}

ScriptValue ClearFields(PageInstance&, const ScriptArgs&) {
    // The paster's form fields cannot be removed.
    return ScriptValue();
}

ScriptValue AddField(PageInstance& page, const ScriptArgs& args) {
    if (args[0].IsString() && args[1].IsString())
        page.imagePaster().AddField(ToStdString(args[0]), ToStdString(args[1]));
    return ScriptValue();
}

ScriptValue Response(PageInstance& page) {
    return StringResult(page.imagePaster().GetResponse());
}

// Write-only object properties. Null (or void) clears the object; other values change nothing.
template <CImagePaster::CallbackSlot slot>
void StoreObject(PageInstance& page, const ScriptValue& value) {
    if (value.IsNull() || value.IsVoid()) {
        page.imagePaster().SetCallback(slot, nullptr);
    } else if (value.IsObject()) {
        page.imagePaster().SetCallback(slot, value.object());
    }
}

// Write-only text settings of the process configuration; other values change nothing.
void PostUrl(PageInstance&, const ScriptValue& value) {
    if (value.IsString()) AppConfig::Instance().postUrl = util::NormalizeUtf8(value.text());
}

void EncodeType(PageInstance&, const ScriptValue& value) {
    if (value.IsString()) AppConfig::Instance().encodeType = value.text();
}

void ImageType(PageInstance&, const ScriptValue& value) {
    if (value.IsString()) AppConfig::Instance().imageType = value.text();
}

}  // namespace

std::vector<Member> ImagePasterMethods() {
    return {Method("ImgPst_Stop", 0, &Stop),
            Method("ImgPst_SetThumbSize", 2, &SetThumbSize),
            Method("ImgPst_Paste", 0, &Paste),
            Method("ImgPst_IsFile", 0, &IsFile),
            Method("ImgPst_IsBitmap", 0, &IsBitmap),
            Method("ImgPst_GetFiles", 0, &GetFiles),
            Method("ImgPst_ClearFields", 0, &ClearFields),
            Method("ImgPst_AddField", 2, &AddField)};
}

std::vector<Member> ImagePasterProperties() {
    typedef CImagePaster P;
    return {Property("ImgPst_Response", &Response, nullptr),
            Property("ImgPst_Object", nullptr, &StoreObject<P::kObject>),
            Property("ImgPst_PostUrl", nullptr, &PostUrl),
            Property("ImgPst_EncodeType", nullptr, &EncodeType),
            Property("ImgPst_ImageType", nullptr, &ImageType),
            Property("ImgPst_OnComplete", nullptr, &StoreObject<P::kOnComplete>),
            Property("ImgPst_OnConnected", nullptr, &StoreObject<P::kOnConnected>),
            Property("ImgPst_OnPost", nullptr, &StoreObject<P::kOnPost>),
            Property("ImgPst_OnError", nullptr, &StoreObject<P::kOnError>)};
}

}  // namespace script
