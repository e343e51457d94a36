#include "Office/WordFormula.h"

#include <cctype>
#include <cstring>
#include <utility>

namespace {

// The first match of "<key>(\\d+[^p]*)pt": the key, a digit, then everything up to the first
// "p", which must start "pt". Answers the text between the key and "pt".
bool PointsValue(const std::string& element, const char* key, std::string& value) {
    const size_t k = std::strlen(key);
    for (size_t a = element.find(key); a != std::string::npos; a = element.find(key, a + 1)) {
        const size_t v = a + k;
        if (v >= element.size() || !std::isdigit(static_cast<unsigned char>(element[v]))) continue;
        const size_t p = element.find('p', v + 1);
        if (p == std::string::npos || p + 1 >= element.size() || element[p + 1] != 't') continue;
        value = element.substr(v, p - v);
        return true;
    }
    return false;
}

// The first match of "height:(\\d+)in": the digits right behind the key, followed by "in".
bool InchesValue(const std::string& element, std::string& digits) {
    static const char kKey[] = "height:";
    for (size_t a = element.find(kKey); a != std::string::npos; a = element.find(kKey, a + 1)) {
        const size_t v = a + sizeof kKey - 1;
        size_t e = v;
        while (e < element.size() && std::isdigit(static_cast<unsigned char>(element[e]))) ++e;
        if (e == v || element.compare(e, 2, "in") != 0) continue;
        digits = element.substr(v, e - v);
        return true;
    }
    return false;
}

}  // namespace

float LeadingNumber(const std::string& text) {
    double value = 0;
    double scale = 0;
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            if (scale == 0) {
                value = value * 10 + (c - '0');
            } else {
                value += (c - '0') * scale;
                scale /= 10;
            }
        } else if (c == '.' && scale == 0) {
            scale = 0.1;
        } else {
            break;
        }
    }
    return static_cast<float>(value);
}

std::string PointsToPixels(float points) {
    const double pixels = points / 0.75;
    if (!(pixels >= 0) || pixels >= 2147483647.0) return "0";
    return std::to_string(static_cast<long>(pixels));
}

void ShapePixelSize(const std::string& element, std::string& width, std::string& height) {
    std::string w = "0";
    std::string h = "0";
    PointsValue(element, "width:", w);
    PointsValue(element, "height:", h);
    float hPoints = LeadingNumber(h);
    std::string digits;
    if (InchesValue(element, digits)) {
        // Beyond nine digits the size is absurd anyway; keep the product finite.
        hPoints = digits.size() > 9 ? 1e12f : static_cast<float>(LeadingNumber(digits) * 72.0);
    }
    width = PointsToPixels(LeadingNumber(w));
    height = PointsToPixels(hPoints);
}

std::string PicturePathOf(const std::string& elementText) {
    size_t p = elementText.find("file:///");
    if (p == std::string::npos) p = elementText.find("file://");
    if (p == std::string::npos) return std::string();
    const size_t q = elementText.find('"', p);
    return elementText.substr(p, q == std::string::npos ? std::string::npos : q - p);
}

WordFormula::WordFormula() = default;
WordFormula::~WordFormula() = default;

void WordFormula::Clear() {
    formulas_.clear();
    pictures_.clear();
    cropped_.clear();
}

void WordFormula::AddFormula(const std::string& id) {
    formulas_.insert(id);
}

void WordFormula::AddCropped(const std::string& id) {
    cropped_.insert(id);
}

bool WordFormula::HasPicture(const std::string& id) const {
    return pictures_.count(id) != 0;
}

void WordFormula::AddPicture(const std::string& id, SharedPath path) {
    pictures_.emplace(id, std::move(path));
}

bool WordFormula::IsFormula(const std::string& id) const {
    return formulas_.count(id) != 0;
}

bool WordFormula::IsCropped(const std::string& id) const {
    return cropped_.count(id) != 0;
}

bool WordFormula::PicturePath(const std::string& id, std::string& path) const {
    auto it = pictures_.find(id);
    path = it == pictures_.end() ? std::string() : it->second.Text();
    return it != pictures_.end();
}
