#include "host/Folders.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>

namespace host {

bool MakeDirectories(const std::string& path) {
    if (path.empty() || path[0] != '/') return false;
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string prefix = path.substr(0, slash);
        if (::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) return true;
    }
}

std::string LogFolder() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state && state[0] == '/') return std::string(state) + "/npquillon";
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return std::string(home) + "/.local/state/npquillon";
    return std::string();
}

}  // namespace host
