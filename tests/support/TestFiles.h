// Whole-file reads for tests (an empty text when the file cannot be opened).
#pragma once

#include <fstream>
#include <sstream>
#include <string>

namespace testfiles {

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace testfiles
