#include "files/SaveTarget.h"

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

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

namespace velmora {

namespace {

// The folder part of a path, with its slash ("" for a bare name).
std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Follows a chain of links whose end does not exist (a dangling link: the new file is made
// where it points). Empty when the chain does not end within the system's hop limit.
std::string DanglingEnd(std::string path) {
    for (int hop = 0; hop < 40; ++hop) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        char target[PATH_MAX];
        const ssize_t n = ::readlink(path.c_str(), target, sizeof target - 1);
        if (n < 0) return std::string();
        const std::string to(target, static_cast<size_t>(n));
        path = !to.empty() && to[0] == '/' ? to : FolderOf(path) + to;
    }
    return std::string();
}

// N when `name` is one of this process's descriptor links (/dev/fd/N, /proc/self/fd/N,
// /proc/<our pid>/fd/N), else -1.
int DescriptorOf(const std::string& name) {
    const std::string own = "/proc/" + std::to_string(::getpid()) + "/fd/";
    for (const std::string& prefix : {std::string("/dev/fd/"), std::string("/proc/self/fd/"), own}) {
        if (name.rfind(prefix, 0) != 0) continue;
        const std::string digits = name.substr(prefix.size());
        if (digits.empty() || digits.size() > 6 || digits.find_first_not_of("0123456789") != std::string::npos) return -1;
        return std::stoi(digits);
    }
    return -1;
}

// The descriptor a chain of links leads through, if any (/dev/stdout -> /proc/self/fd/1).
int DescriptorThrough(std::string path) {
    for (int hop = 0; hop < 40; ++hop) {
        if (const int fd = DescriptorOf(path); fd >= 0) return fd;
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return -1;
        char target[PATH_MAX];
        const ssize_t n = ::readlink(path.c_str(), target, sizeof target - 1);
        if (n < 0) return -1;
        const std::string to(target, static_cast<size_t>(n));
        path = !to.empty() && to[0] == '/' ? to : FolderOf(path) + to;
    }
    return -1;
}

}  // namespace

WriteTarget ResolveWriteTarget(const std::string& path) {
    WriteTarget t;
    if (path == "-") {
        t.kind = WriteKind::StandardOutput;
        return t;
    }
    t.file = path;
    struct stat link {};
    if (::lstat(path.c_str(), &link) != 0) return t;  // nothing there yet
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        // A link to a name where nothing is: the file is made there, as QSaveFile does.
        if (S_ISLNK(link.st_mode)) {
            t.followedLink = true;
            t.file = DanglingEnd(path);
        }
        return t;
    }
    if (S_ISLNK(link.st_mode)) {
        // One of our own open files: written through it, whatever it is.
        if (const int fd = DescriptorThrough(path); fd >= 0) {
            t.kind = WriteKind::Direct;
            t.descriptor = fd;
            return t;
        }
    }
    if (S_ISREG(st.st_mode)) {
        if (S_ISLNK(link.st_mode)) {
            // The kernel's own name of the target (it also sees through /proc/self/fd links).
            t.followedLink = true;
            char* real = ::realpath(path.c_str(), nullptr);
            t.file = real ? real : std::string();
            std::free(real);
        }
        return t;
    }
    if (S_ISDIR(st.st_mode)) return t;  // refused by the caller as a folder
    t.kind = WriteKind::Direct;
    return t;
}

}  // namespace velmora
