#include "files/SaveTarget.h"

#include <filesystem>
#include <system_error>

namespace velmora {

namespace fs = std::filesystem;

std::string ChangeFileExt(const std::string& path, const std::string& extension) {
    const size_t slash = path.find_last_of('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || dot < nameStart) return path + extension;
    return path.substr(0, dot) + extension;
}

std::string FileNameOnly(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool PrepareSaveTarget(const std::string& chosen, const std::string& target,
                       const std::function<bool(const std::string& fileName)>& confirmOverwrite) {
    std::error_code ec;
    if (chosen != target && fs::exists(chosen, ec) && !fs::exists(target, ec)) fs::rename(chosen, target, ec);
    if (fs::exists(target, ec)) return confirmOverwrite(FileNameOnly(target));
    return true;
}

}  // namespace velmora
