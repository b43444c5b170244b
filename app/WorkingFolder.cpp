#include "app/WorkingFolder.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace velmora {

bool AsksForPerUserFolder(int argc, const char* const* argv) {
    for (int k = 1; k < argc; ++k)
        if (std::string(argv[k]) == perUserFolderOption) return true;
    return false;
}

std::string PerUserFolder(const char* xdgDataHome, const char* home) {
    if (xdgDataHome && xdgDataHome[0] == '/') return (std::filesystem::path(xdgDataHome) / "velmora1").string();
    if (home && home[0] == '/') return (std::filesystem::path(home) / ".local" / "share" / "velmora1").string();
    return {};
}

std::optional<UserMessage> EnterPerUserFolder() {
    const std::string folder = PerUserFolder(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
    if (folder.empty())
        return UserMessage("WorkingFolder", QT_TRANSLATE_NOOP("WorkingFolder", "ユーザ用の作業フォルダが決まりません（XDG_DATA_HOME も HOME もありません）。現在のフォルダで続けます。"));
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (!ec) std::filesystem::current_path(folder, ec);
    if (ec)
        return UserMessage("WorkingFolder", QT_TRANSLATE_NOOP("WorkingFolder", "作業フォルダ %1 を使えません（%2）。現在のフォルダで続けます。"),
                           {UserMessage::Value(folder), UserMessage::Value(ec.message())});
    return std::nullopt;
}

}  // namespace velmora
