#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>

#include "host/Folders.h"

namespace host {

bool MakeDirectories(const std::string& path) {
    if (path.empty() || path[0] != '/') return false;
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string prefix = path.substr(0, slash);
        if (::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) return true;
    }
}

std::string PrepareLogFolder() {
    std::string folder;
    const char* state = std::getenv("XDG_STATE_HOME");
    const char* home = std::getenv("HOME");
    if (state && state[0] == '/')
        folder = std::string(state) + "/npquillon";
    else if (home && home[0] == '/')
        folder = std::string(home) + "/.local/state/npquillon";
    else
        return "/nonexistent/npquillon";
    MakeDirectories(folder);
    return folder;
}

}  // namespace host
