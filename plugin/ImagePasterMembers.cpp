// The "ImgPst_" members: the instance's image paster and the process settings it uploads with.
#include <boost/bind/bind.hpp>

#include "config/AppConfig.h"
#include "image/CImagePaster.h"
#include "platform/kernel/Text.h"
#include "plugin/BrowserFuncs.h"
#include "plugin/CPlugin.h"
#include "plugin/Members.h"
#include "plugin/ScriptValues.h"

namespace {

void Stop(const NPVariant*, NPVariant*) {
    // A paster upload cannot be stopped.
}

void SetThumbSize(const NPVariant* args, NPVariant*) {
    // Only numbers that arrive as doubles count; whole numbers arrive as Int32 and are ignored.
    if (args[0].type != NPVariantType_Double || args[1].type != NPVariantType_Double) return;
    AppConfig& config = AppConfig::Instance();
    config.thumbWidth = ToInt(&args[0]);
    config.thumbHeight = ToInt(&args[1]);
}

void Paste(CImagePaster& paster, const NPVariant*, NPVariant* out) {
    if (paster.Paste()) SetBoolResult(true, out);
}

void IsFile(CImagePaster& paster, const NPVariant*, NPVariant* out) {
    SetBoolResult(paster.IsFile(), out);
}

void IsBitmap(CImagePaster& paster, const NPVariant*, NPVariant* out) {
    SetBoolResult(paster.IsBitmap(), out);
}

void GetFiles(CImagePaster& paster, const NPVariant*, NPVariant* out) {
    // Nothing collected gives null, which the page can test.
    if (!out) return;
    NPObject* array = paster.GetFiles();
    if (array)
        OBJECT_TO_NPVARIANT(array, *out);
    else
        NULL_TO_NPVARIANT(*out);
}

void ClearFields(const NPVariant*, NPVariant*) {
    // The paster's form fields cannot be removed.
}

void AddField(CImagePaster& paster, const NPVariant* args, NPVariant*) {
    if (!NPVARIANT_IS_STRING(args[0]) || !NPVARIANT_IS_STRING(args[1])) return;
    paster.AddField(ToStdString(&args[0]), ToStdString(&args[1]));
}

void Response(CImagePaster& paster, const NPVariant* in, NPVariant* out) {
    if (in || !out) return;  // read-only
    SetStringResult(paster.GetResponse(), out);
}

// Write-only object properties. Null clears the object; other values change nothing.
void StoreObject(CImagePaster& paster, CImagePaster::CallbackSlot slot, const NPVariant* in,
                 NPVariant*) {
    if (!in) return;
    if (in->type == NPVariantType_Null || NPVARIANT_IS_VOID(*in)) {
        paster.SetCallback(slot, nullptr);
        return;
    }
    NPObject* object = ToObject(in);  // retained for us
    if (!object) return;
    paster.SetCallback(slot, object);  // keeps its own reference
    NPN_ReleaseObject(object);
}

// Write-only text settings of the process configuration; other values change nothing.
void PostUrl(const NPVariant* in, NPVariant*) {
    if (!in || !NPVARIANT_IS_STRING(*in)) return;
    AppConfig::Instance().postUrl = util::NormalizeUtf8(ToStdString(in));
}

void EncodeType(const NPVariant* in, NPVariant*) {
    if (!in || !NPVARIANT_IS_STRING(*in)) return;
    AppConfig::Instance().encodeType = ToStdString(in);
}

void ImageType(const NPVariant* in, NPVariant*) {
    if (!in || !NPVARIANT_IS_STRING(*in)) return;
    AppConfig::Instance().imageType = ToStdString(in);
}

}  // namespace

void RegisterImagePasterMethods(CPlugin& plugin, CImagePaster& paster) {
    using boost::placeholders::_1;
    using boost::placeholders::_2;
    plugin.RegisterMethod("ImgPst_Stop", &Stop);
    plugin.RegisterMethod("ImgPst_SetThumbSize", &SetThumbSize);
    plugin.RegisterMethod("ImgPst_Paste", boost::bind(&Paste, boost::ref(paster), _1, _2));
    plugin.RegisterMethod("ImgPst_IsFile", boost::bind(&IsFile, boost::ref(paster), _1, _2));
    plugin.RegisterMethod("ImgPst_IsBitmap", boost::bind(&IsBitmap, boost::ref(paster), _1, _2));
    plugin.RegisterMethod("ImgPst_GetFiles", boost::bind(&GetFiles, boost::ref(paster), _1, _2));
    plugin.RegisterMethod("ImgPst_ClearFields", &ClearFields);
    plugin.RegisterMethod("ImgPst_AddField", boost::bind(&AddField, boost::ref(paster), _1, _2));
}

void RegisterImagePasterProperties(CPlugin& plugin, CImagePaster& paster) {
    using boost::placeholders::_1;
    using boost::placeholders::_2;
    auto object = [&paster](CImagePaster::CallbackSlot slot) -> ScriptHandler {
        return boost::bind(&StoreObject, boost::ref(paster), slot, _1, _2);
    };
    plugin.RegisterProperty("ImgPst_Response", boost::bind(&Response, boost::ref(paster), _1, _2));
    plugin.RegisterProperty("ImgPst_Object", object(CImagePaster::kObject));
    plugin.RegisterProperty("ImgPst_PostUrl", &PostUrl);
    plugin.RegisterProperty("ImgPst_EncodeType", &EncodeType);
    plugin.RegisterProperty("ImgPst_ImageType", &ImageType);
    plugin.RegisterProperty("ImgPst_OnComplete", object(CImagePaster::kOnComplete));
    plugin.RegisterProperty("ImgPst_OnConnected", object(CImagePaster::kOnConnected));
    plugin.RegisterProperty("ImgPst_OnPost", object(CImagePaster::kOnPost));
    plugin.RegisterProperty("ImgPst_OnError", object(CImagePaster::kOnError));
}
