// Folders of the user's the host writes to.
#pragma once

#include <string>

namespace host {

// Creates the folder and its parents (on Linux mode 0700 for new ones) from an absolute UTF-8
// path; true when it exists after.
bool MakeDirectories(const std::string& path);

// The folder the pages' diagnostic logs are confined to, made when missing, in the form the
// log's file calls take: $XDG_STATE_HOME/npquillon, else $HOME/.local/state/npquillon on
// Linux; %LOCALAPPDATA%\npquillon on Windows. Without such a place, a folder that cannot
// exist: no log rather than one the page places.
std::string PrepareLogFolder();

}  // namespace host
