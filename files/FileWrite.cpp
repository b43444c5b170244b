#include "files/FileWrite.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <unistd.h>

#include "core/UserMessage.h"

namespace velmora {

void WriteWholeFile(const std::string& path, const std::string& bytes) {
    const std::string temp = path + ".part" + std::to_string(::getpid());
    auto fail = [&](const char* what) {
        const int err = errno;
        std::remove(temp.c_str());
        throw MessageError(UserMessage("FileWrite", QT_TRANSLATE_NOOP("FileWrite", "ファイル %1 を書き込めませんでした（%2: %3）。"),
                                       {UserMessage::Value(path), UserMessage::Value(what), UserMessage::Value(std::strerror(err))}));
    };
    std::FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f) fail("open");
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    const bool flushed = std::fflush(f) == 0 && ::fsync(::fileno(f)) == 0;
    const bool closed = std::fclose(f) == 0;
    if (!written || !flushed || !closed) fail("write");
    if (std::rename(temp.c_str(), path.c_str()) != 0) fail("rename");
}

}  // namespace velmora
