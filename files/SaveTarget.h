// The save pattern shared by every save command: the chosen name gets the format's extension;
// a file at the chosen name is first moved to that target (unless the target exists); an
// existing target is overwritten only when the user says yes.
#pragma once

#include <functional>
#include <string>

namespace velmora {

// `path` with the extension of its file name replaced by `extension` (".vld"); a name without
// one gets it appended. A dot in a directory name is not an extension.
std::string ChangeFileExt(const std::string& path, const std::string& extension);

// The file name without its directory.
std::string FileNameOnly(const std::string& path);

// Renames `chosen` to `target` when chosen exists and target does not; then, if target exists,
// asks `confirmOverwrite` with target's file name. Returns whether the write should go ahead.
bool PrepareSaveTarget(const std::string& chosen, const std::string& target,
                       const std::function<bool(const std::string& fileName)>& confirmOverwrite);

}  // namespace velmora
