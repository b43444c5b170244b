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

namespace velmora {

// How a whole-file output reaches the name the user gave, following the conventions of Qt's
// QSaveFile: a regular file (or a name where nothing is yet) is replaced atomically through a
// temporary file beside it; a symbolic link is followed and its target replaced, the link
// staying; a FIFO, a character device or a socket is written directly (it cannot be renamed
// over, and /dev/stdout must stay a device); "-" is the program's standard output.
enum class WriteKind { Replace, Direct, StandardOutput };

struct WriteTarget {
    WriteKind kind = WriteKind::Replace;
    std::string file;  // Replace: the file that is replaced (the link's target); Direct: the name
    bool followedLink = false;
    // Direct through one of the process's own open files (/dev/stdout, /dev/fd/N,
    // /proc/self/fd/N): written to that descriptor, so that "> file" and ">> file" keep their
    // meaning; -1 otherwise.
    int descriptor = -1;
};

// Never fails: a link that cannot be followed to its end (a loop, too many hops) is given as
// Replace of the name itself with followedLink set and file empty, for the caller to refuse.
WriteTarget ResolveWriteTarget(const std::string& path);

}  // namespace velmora
