// Whole-file writes that never leave a half-written file under the target name: the bytes go
// to a temporary name beside the target, which is renamed over it once complete.
#pragma once

#include <string>

namespace velmora {

// Writes bytes to a temporary file beside path, then renames it over path. Throws
// MessageError whose message names the file when any step fails; no temporary file is left.
void WriteWholeFile(const std::string& path, const std::string& bytes);

// The two halves, for a caller that renames several files only once all are written.
// "OUT.bmp" -> "OUT.bmp.part<pid>", the name a write goes to before its rename.
std::string TemporaryNameFor(const std::string& path);
// Writes and syncs bytes to `temporary`; on failure removes it and throws MessageError naming
// `path`, the file the bytes are meant for.
void WriteTemporaryFile(const std::string& temporary, const std::string& path, const std::string& bytes);
// Renames `temporary` over `path`; on failure throws MessageError naming `path` (the temporary
// stays, for the caller to remove).
void CommitTemporaryFile(const std::string& temporary, const std::string& path);

// Writes bytes straight to an existing file that is not a regular file (a FIFO, a device):
// opened for writing without creating or truncating it, written whole, closed. Throws
// MessageError naming `path` when any step fails.
void WriteDirect(const std::string& path, const std::string& bytes);
// The same to a descriptor the process holds open (left open); `path` names it in a message.
void WriteToDescriptor(int fd, const std::string& path, const std::string& bytes);

}  // namespace velmora
