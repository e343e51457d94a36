// The machine's policy on Windows: the values under HKLM\SOFTWARE\Policies\npQuillon (where
// group policy puts them) when the key exists, else %ProgramData%\npQuillon\policy.json.
// Registry values carry the document's members: "allowed_origins" a REG_MULTI_SZ of
// patterns, "upload_origins" a REG_SZ ("same-origin", "any") or a REG_MULTI_SZ of patterns,
// "local_files" and "clipboard" REG_SZ, "max_upload_bytes" a REG_DWORD or REG_QWORD. A value
// of another type is a member of the wrong type: the instance refuses everything.
#include <windows.h>

#include <string>
#include <vector>

#include "config/PolicySource.h"

namespace config {
namespace {

const wchar_t kPolicyKey[] = L"SOFTWARE\\Policies\\npQuillon";

std::string Narrow(const std::wstring& text, UINT codePage) {
    if (text.empty()) return std::string();
    const int size = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string out(size > 0 ? size : 0, '\0');
    if (size > 0)
        WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), &out[0], size,
                            nullptr, nullptr);
    return out;
}

std::string Utf8(const std::wstring& text) {
    return Narrow(text, CP_UTF8);
}

// One value as the JSON member it stands for; false when the key has no such value.
bool ReadValue(HKEY key, const wchar_t* name, Json::Value& out) {
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
    std::vector<BYTE> data(size + 2 * sizeof(wchar_t), 0);
    if (RegQueryValueExW(key, name, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) {
        out = Json::Value(Json::nullValue);  // present but unreadable: the wrong type
        return true;
    }
    const wchar_t* text = reinterpret_cast<const wchar_t*>(data.data());
    switch (type) {
        case REG_SZ:
        case REG_EXPAND_SZ:
            out = Utf8(text);
            return true;
        case REG_MULTI_SZ: {
            out = Json::Value(Json::arrayValue);
            for (const wchar_t* item = text; *item; item += wcslen(item) + 1)
                out.append(Utf8(item));
            return true;
        }
        case REG_DWORD:
            out = Json::Value(
                static_cast<Json::UInt64>(*reinterpret_cast<const DWORD*>(data.data())));
            return true;
        case REG_QWORD:
            out = Json::Value(
                static_cast<Json::UInt64>(*reinterpret_cast<const ULONGLONG*>(data.data())));
            return true;
        default:
            out = Json::Value(Json::nullValue);
            return true;
    }
}

bool ReadRegistry(const Policy& defaults, Policy& out) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kPolicyKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    Json::Value root(Json::objectValue);
    static const wchar_t* const kNames[] = {L"allowed_origins", L"upload_origins", L"local_files",
                                            L"clipboard", L"max_upload_bytes"};
    for (const wchar_t* name : kNames) {
        Json::Value value;
        if (ReadValue(key, name, value)) root[Utf8(name)] = value;
    }
    RegCloseKey(key);
    out = PolicyFromObject(root, defaults, "HKLM\\SOFTWARE\\Policies\\npQuillon");
    return true;
}

}  // namespace

bool ReadSystemPolicy(const Policy& defaults, Policy& out) {
    if (ReadRegistry(defaults, out)) return true;
    wchar_t folder[MAX_PATH] = {0};
    const DWORD length = GetEnvironmentVariableW(L"ProgramData", folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return false;
    bool found = false;
    // The C file functions take paths in the ANSI code page here.
    out = ReadPolicyFile(Narrow(folder, CP_ACP) + "\\npQuillon\\policy.json", defaults, found);
    return found;
}

}  // namespace config
