#include "platform/kernel/win32/CodePageNames.h"

#include <cstring>

namespace platform {
namespace {

struct NamedCodePage {
    const char* name;
    unsigned codePage;
};

// Upper-case names; "CPnnn", "WINDOWS-nnn" and "IBMnnn" are read as numbers instead.
const NamedCodePage kNames[] = {
    {"UTF-8", 65001},   {"UTF8", 65001},     {"GBK", 936},     {"GB2312", 936},
    {"EUC-CN", 936},    {"GB18030", 54936},  {"BIG5", 950},    {"BIG-5", 950},
    {"SHIFT_JIS", 932}, {"SHIFT-JIS", 932},  {"SJIS", 932},    {"MS_KANJI", 932},
    {"EUC-JP", 20932},  {"EUC-KR", 949},     {"UHC", 949},     {"KOI8-R", 20866},
    {"KOI8-U", 21866},  {"US-ASCII", 20127}, {"ASCII", 20127}, {"ANSI_X3.4-1968", 20127},
    {"LATIN1", 28591},  {"TIS-620", 874},    {"UTF-7", 65000},
};

std::string Upper(const std::string& s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

// The decimal number after `prefix`, or 0 when the rest is not 1 to 5 digits.
unsigned NumberAfter(const std::string& name, const char* prefix) {
    const size_t len = std::strlen(prefix);
    if (name.compare(0, len, prefix) != 0 || name.size() == len || name.size() > len + 5) return 0;
    unsigned n = 0;
    for (size_t i = len; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') return 0;
        n = n * 10 + static_cast<unsigned>(name[i] - '0');
    }
    return n <= 65535 ? n : 0;
}

}  // namespace

unsigned CodePageNumber(const std::string& codeSet) {
    const std::string name = Upper(codeSet);
    if (name.empty()) return 0;
    for (const NamedCodePage& entry : kNames) {
        if (name == entry.name) return entry.codePage;
    }
    // ISO-8859-n is Windows code page 28590 + n.
    if (unsigned part = NumberAfter(name, "ISO-8859-")) return part <= 16 ? 28590 + part : 0;
    if (unsigned part = NumberAfter(name, "ISO8859-")) return part <= 16 ? 28590 + part : 0;
    for (const char* prefix : {"CP", "WINDOWS-", "IBM", "MS"}) {
        if (unsigned n = NumberAfter(name, prefix)) return n;
    }
    return 0;
}

std::string CodeSetName(unsigned codePage) {
    if (codePage == 65001) return "UTF-8";
    if (codePage == 936) return "GBK";
    return "CP" + std::to_string(codePage);
}

}  // namespace platform
