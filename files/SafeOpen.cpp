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

UserMessage Reason(const char* pattern, std::vector<UserMessage> args = {}) {
    return UserMessage("SafeOpen", pattern, std::move(args));
}

UserMessage NotRegular(FileKind kind) {
    return Reason(QT_TRANSLATE_NOOP("SafeOpen", "通常のファイルではなく%1です"), {FileKindMessage(kind)});
}

// Sets both forms of the refusal.
void Refuse(RegularFileRead& r, UserMessage reason) {
    r.problem = reason.Text();
    r.reason = std::move(reason);
}

// Closes the descriptor on every way out.
struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0) ::close(fd);
    }
};

}  // namespace

UserMessage FileKindMessage(FileKind kind) {
    switch (kind) {
    case FileKind::Missing: return Reason(QT_TRANSLATE_NOOP("SafeOpen", "存在しないファイル"));
    case FileKind::Regular: return Reason(QT_TRANSLATE_NOOP("SafeOpen", "ファイル"));
    case FileKind::Folder: return Reason(QT_TRANSLATE_NOOP("SafeOpen", "フォルダ"));
    case FileKind::Device: return Reason(QT_TRANSLATE_NOOP("SafeOpen", "デバイス"));
    case FileKind::Pipe: return Reason(QT_TRANSLATE_NOOP("SafeOpen", "名前付きパイプ"));
    case FileKind::Socket: return Reason(QT_TRANSLATE_NOOP("SafeOpen", "ソケット"));
    case FileKind::Other: break;
    }
    return Reason(QT_TRANSLATE_NOOP("SafeOpen", "特殊なファイル"));
}

std::string FileKindName(FileKind kind) { return FileKindMessage(kind).Text(); }

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
        if (r.kind == FileKind::Missing) Refuse(r, Reason(QT_TRANSLATE_NOOP("SafeOpen", "ファイルがありません")));
        else if (r.kind != FileKind::Regular) Refuse(r, NotRegular(r.kind));
        else Refuse(r, Reason(QT_TRANSLATE_NOOP("SafeOpen", "ファイルを開けません: %1"), {UserMessage::Value(std::strerror(err))}));
        return r;
    }
    struct stat st;
    if (::fstat(d.fd, &st) != 0) {
        r.kind = FileKind::Other;
        Refuse(r, Reason(QT_TRANSLATE_NOOP("SafeOpen", "ファイルを開けません: %1"), {UserMessage::Value(std::strerror(errno))}));
        return r;
    }
    r.kind = KindOfMode(st.st_mode);
    if (r.kind != FileKind::Regular) {
        Refuse(r, NotRegular(r.kind));
        return r;
    }
    // A regular file never blocks; the flag only matters for the open itself.
    ::fcntl(d.fd, F_SETFL, ::fcntl(d.fd, F_GETFL) & ~O_NONBLOCK);

    const size_t expected = st.st_size > 0 ? static_cast<size_t>(st.st_size) : 0;
    if (oversize == Oversize::Refuse && expected > limit) {
        r.truncated = true;
        Refuse(r, Reason(QT_TRANSLATE_NOOP("SafeOpen", "ファイルが大きすぎます")));
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
            Refuse(r, Reason(QT_TRANSLATE_NOOP("SafeOpen", "ファイルを読めません: %1"), {UserMessage::Value(std::strerror(errno))}));
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
        Refuse(r, Reason(QT_TRANSLATE_NOOP("SafeOpen", "ファイルが大きすぎます")));
        return r;
    }
    r.ok = true;
    return r;
}

size_t ByteOrderMarkLength(std::string_view text) { return text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0; }

}  // namespace velmora
