// Whole-file writes that never leave a half-written file under the target name.
#pragma once

#include <string>

namespace velmora {

// Writes bytes to a temporary file beside path, then renames it over path. Throws
// std::runtime_error whose message names the file when any step fails.
void WriteWholeFile(const std::string& path, const std::string& bytes);

}  // namespace velmora
