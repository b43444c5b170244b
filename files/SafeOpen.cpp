#include "files/SafeOpen.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora {
namespace {

FileKind KindOfMode(mode_t mode) {
    if (S_ISREG(mode)) return FileKind::Regular;
    if (S_ISDIR(mode)) return FileKind::Folder;
    if (S_ISCHR(mode) || S_ISBLK(mode)) return FileKind::Device;
    if (S_ISFIFO(mode)) return FileKind::Pipe;
    if (S_ISSOCK(mode)) return FileKind::Socket;
    return FileKind::Other;
}

std::string NotRegular(FileKind kind) { return "通常のファイルではなく" + FileKindName(kind) + "です"; }

// Closes the descriptor on every way out.
struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0) ::close(fd);
    }
};

}  // namespace

std::string FileKindName(FileKind kind) {
    switch (kind) {
    case FileKind::Missing: return "存在しないファイル";
    case FileKind::Regular: return "ファイル";
    case FileKind::Folder: return "フォルダ";
    case FileKind::Device: return "デバイス";
    case FileKind::Pipe: return "名前付きパイプ";
    case FileKind::Socket: return "ソケット";
    case FileKind::Other: return "特殊なファイル";
    }
    return "特殊なファイル";
}

FileKind KindOfFile(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return FileKind::Missing;
    return KindOfMode(st.st_mode);
}

RegularFileRead ReadRegularFile(const std::string& path, size_t limit, Oversize oversize) {
    RegularFileRead r;
    // A pipe without a writer would hold a plain open() for ever; O_NONBLOCK returns at once,
    // and the kind is then taken from the open descriptor, so nothing can be swapped in between.
    Descriptor d{::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)};
    if (d.fd < 0) {
        const int err = errno;
        r.kind = err == ENOENT ? FileKind::Missing : KindOfFile(path);
        if (r.kind == FileKind::Missing) r.problem = "ファイルがありません";
        else if (r.kind != FileKind::Regular) r.problem = NotRegular(r.kind);
        else r.problem = std::string("ファイルを開けません: ") + std::strerror(err);
        return r;
    }
    struct stat st;
    if (::fstat(d.fd, &st) != 0) {
        r.kind = FileKind::Other;
        r.problem = std::string("ファイルを開けません: ") + std::strerror(errno);
        return r;
    }
    r.kind = KindOfMode(st.st_mode);
    if (r.kind != FileKind::Regular) {
        r.problem = NotRegular(r.kind);
        return r;
    }
    // A regular file never blocks; the flag only matters for the open itself.
    ::fcntl(d.fd, F_SETFL, ::fcntl(d.fd, F_GETFL) & ~O_NONBLOCK);

    const size_t expected = st.st_size > 0 ? static_cast<size_t>(st.st_size) : 0;
    if (oversize == Oversize::Refuse && expected > limit) {
        r.truncated = true;
        r.problem = "ファイルが大きすぎます";
        return r;
    }
    r.bytes.resize(std::min(expected, limit) + 1);
    size_t have = 0;
    for (;;) {
        if (have == r.bytes.size()) {
            if (have > limit) break;
            r.bytes.resize(std::min(have * 2 + 4096, limit + 1));
        }
        const ssize_t n = ::read(d.fd, r.bytes.data() + have, r.bytes.size() - have);
        if (n < 0) {
            if (errno == EINTR) continue;
            r.problem = std::string("ファイルを読めません: ") + std::strerror(errno);
            r.bytes.clear();
            return r;
        }
        if (n == 0) break;
        have += static_cast<size_t>(n);
    }
    // One byte past the limit was asked for only to learn whether the file goes on.
    r.truncated = have > limit;
    r.bytes.resize(std::min(have, limit));
    if (r.truncated && oversize == Oversize::Refuse) {  // it grew while being read
        r.bytes.clear();
        r.problem = "ファイルが大きすぎます";
        return r;
    }
    r.ok = true;
    return r;
}

}  // namespace velmora
