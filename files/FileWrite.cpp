#include "files/FileWrite.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <fcntl.h>
#include <unistd.h>

#include "core/UserMessage.h"

namespace velmora {

namespace {

[[noreturn]] void Fail(const std::string& path, const char* what, int err) {
    throw MessageError(UserMessage("FileWrite", QT_TRANSLATE_NOOP("FileWrite", "ファイル %1 を書き込めませんでした（%2: %3）。"),
                                   {UserMessage::Value(path), UserMessage::Value(what), UserMessage::Value(std::strerror(err))}));
}

}  // namespace

std::string TemporaryNameFor(const std::string& path) { return path + ".part" + std::to_string(::getpid()); }

void WriteTemporaryFile(const std::string& temporary, const std::string& path, const std::string& bytes) {
    auto fail = [&](const char* what) {
        const int err = errno;
        std::remove(temporary.c_str());
        Fail(path, what, err);
    };
    std::FILE* f = std::fopen(temporary.c_str(), "wb");
    if (!f) fail("open");
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    const bool flushed = std::fflush(f) == 0 && ::fsync(::fileno(f)) == 0;
    const bool closed = std::fclose(f) == 0;
    if (!written || !flushed || !closed) fail("write");
}

void CommitTemporaryFile(const std::string& temporary, const std::string& path) {
    if (std::rename(temporary.c_str(), path.c_str()) != 0) Fail(path, "rename", errno);
}

namespace {

// Writes every byte; false with errno set when a write fails.
bool WriteAllTo(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

void WriteDirect(const std::string& path, const std::string& bytes) {
    int fd = -1;
    do fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) Fail(path, "open", errno);
    if (!WriteAllTo(fd, bytes)) {
        const int err = errno;
        ::close(fd);
        Fail(path, "write", err);
    }
    if (::close(fd) != 0 && errno != EINTR) Fail(path, "close", errno);
}

void WriteToDescriptor(int fd, const std::string& path, const std::string& bytes) {
    if (!WriteAllTo(fd, bytes)) Fail(path, "write", errno);
}

void WriteWholeFile(const std::string& path, const std::string& bytes) {
    const std::string temp = TemporaryNameFor(path);
    WriteTemporaryFile(temp, path, bytes);
    try {
        CommitTemporaryFile(temp, path);
    } catch (...) {
        std::remove(temp.c_str());
        throw;
    }
}

}  // namespace velmora
