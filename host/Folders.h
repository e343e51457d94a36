// Folders of the user's the host writes to.
#pragma once

#include <string>

namespace host {

// Creates the folder and its parents (mode 0700 for new ones); true when it exists after.
bool MakeDirectories(const std::string& path);

// Where the pages' diagnostic logs go: $XDG_STATE_HOME/npquillon, else
// $HOME/.local/state/npquillon; empty when neither variable is set.
std::string LogFolder();

}  // namespace host
