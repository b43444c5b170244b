#include "app/BatchOutput.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>

namespace velmora {
namespace {

// What the signal handler may remove. The names are built before the handler can see them
// and stay alive until they are unpublished, so the handler only reads finished C strings.
constexpr int maxPublished = 16;
const char* volatile published[maxPublished];
std::atomic<int> publishedCount{0};

extern "C" void RemoveTemporariesAndExit(int signal) {
    const int n = publishedCount.load();
    for (int k = 0; k < n && k < maxPublished; ++k)
        if (const char* name = published[k]) ::unlink(name);
    ::_exit(128 + signal);
}

// Installs the handler for SIGINT and SIGTERM for one commit, and restores what was there.
class SignalGuard {
public:
    SignalGuard() {
        struct sigaction sa {};
        sa.sa_handler = RemoveTemporariesAndExit;
        sigemptyset(&sa.sa_mask);
        sigaddset(&sa.sa_mask, SIGINT);
        sigaddset(&sa.sa_mask, SIGTERM);
        ::sigaction(SIGINT, &sa, &oldInt_);
        ::sigaction(SIGTERM, &sa, &oldTerm_);
    }
    ~SignalGuard() {
        publishedCount.store(0);
        ::sigaction(SIGINT, &oldInt_, nullptr);
        ::sigaction(SIGTERM, &oldTerm_, nullptr);
    }
    void Publish(const std::string& name) {
        const int n = publishedCount.load();
        if (n >= maxPublished) return;
        published[n] = name.c_str();
        publishedCount.store(n + 1);
    }

private:
    struct sigaction oldInt_ {};
    struct sigaction oldTerm_ {};
};

std::runtime_error WriteFailure(const std::string& path, const char* what, int err) {
    return std::runtime_error("ファイル " + path + " を書き込めませんでした（" + what + ": " + std::strerror(err) + "）。");
}

void WriteTemporary(const std::string& temp, const std::string& path, const std::string& bytes) {
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) throw WriteFailure(path, "open", errno);
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const int err = n < 0 ? errno : ENOSPC;
            ::close(fd);
            throw WriteFailure(path, "write", err);
        }
        done += static_cast<size_t>(n);
    }
    if (::fsync(fd) != 0) {
        const int err = errno;
        ::close(fd);
        throw WriteFailure(path, "write", err);
    }
    if (::close(fd) != 0) throw WriteFailure(path, "write", errno);
}

}  // namespace

std::string TemporaryNameFor(const std::string& path) { return path + ".part" + std::to_string(::getpid()); }

BatchOutput::~BatchOutput() {
    for (const std::string& t : temporaries_) ::unlink(t.c_str());
}

void BatchOutput::Add(std::string path, std::string bytes) { files_.emplace_back(std::move(path), std::move(bytes)); }

void BatchOutput::RemoveAll() {
    for (const std::string& t : temporaries_) ::unlink(t.c_str());
    for (const std::string& r : renamed_) ::unlink(r.c_str());
    temporaries_.clear();
    renamed_.clear();
}

void BatchOutput::Commit() {
    // Every name exists before the handler is armed, so publishing never allocates.
    temporaries_.clear();
    temporaries_.reserve(files_.size());
    for (const auto& f : files_) temporaries_.push_back(TemporaryNameFor(f.first));
    SignalGuard guard;
    try {
        for (size_t k = 0; k < files_.size(); ++k) {
            guard.Publish(temporaries_[k]);
            WriteTemporary(temporaries_[k], files_[k].first, files_[k].second);
            if (afterTemporaryWritten) afterTemporaryWritten(temporaries_[k]);
        }
        // An output is published only once it is this run's: a signal during the renames then
        // removes what the run made, never a user's older file that was not yet replaced.
        for (size_t k = 0; k < files_.size(); ++k) {
            if (std::rename(temporaries_[k].c_str(), files_[k].first.c_str()) != 0)
                throw WriteFailure(files_[k].first, "rename", errno);
            guard.Publish(files_[k].first);
            renamed_.push_back(files_[k].first);
        }
    } catch (...) {
        RemoveAll();
        throw;
    }
    temporaries_.clear();
    renamed_.clear();
}

}  // namespace velmora
