#include "app/BatchOutput.h"

#include <atomic>
#include <csignal>
#include <unistd.h>

#include "files/FileWrite.h"

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

}  // namespace

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
            WriteTemporaryFile(temporaries_[k], files_[k].first, files_[k].second);
            if (afterTemporaryWritten) afterTemporaryWritten(temporaries_[k]);
        }
        // An output is published only once it is this run's: a signal during the renames then
        // removes what the run made, never a user's older file that was not yet replaced.
        for (size_t k = 0; k < files_.size(); ++k) {
            CommitTemporaryFile(temporaries_[k], files_[k].first);
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
