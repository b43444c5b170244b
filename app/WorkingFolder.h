// Where the program works. From a terminal it works in the folder it was started in; the
// desktop menu starts it with perUserFolderOption, and then it works in a folder of the user's
// own ($XDG_DATA_HOME/velmora1), so that its fixed files do not land in the home folder.
#pragma once

#include <optional>
#include <string>

#include "core/UserMessage.h"

namespace velmora {

inline constexpr const char* perUserFolderOption = "--per-user-folder";

// Whether the command line asks for the per-user folder.
bool AsksForPerUserFolder(int argc, const char* const* argv);

// $XDG_DATA_HOME/velmora1, or $HOME/.local/share/velmora1 when XDG_DATA_HOME is unset, empty or
// not absolute (as the XDG base directory rules say); empty when neither gives a folder.
std::string PerUserFolder(const char* xdgDataHome, const char* home);

// Makes the per-user folder of this process's environment if it is missing and makes it the
// current folder. On failure the current folder stays as it was and the result says why
// (Japanese, for a warning box).
std::optional<UserMessage> EnterPerUserFolder();

}  // namespace velmora
