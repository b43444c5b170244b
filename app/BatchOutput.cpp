#include "app/BatchOutput.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <map>
#include <ostream>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

#include "files/FileWrite.h"

namespace velmora {
namespace {

constexpr const char* scope = "BatchOutput";

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
    void UnpublishAll() { publishedCount.store(0); }

private:
    struct sigaction oldInt_ {};
    struct sigaction oldTerm_ {};
};

// SIGINT and SIGTERM held back for as long as it lives: one that arrives meanwhile is handled
// when it ends.
class SignalsHeld {
public:
    SignalsHeld() {
        sigset_t held;
        sigemptyset(&held);
        sigaddset(&held, SIGINT);
        sigaddset(&held, SIGTERM);
        ::pthread_sigmask(SIG_BLOCK, &held, &previous_);
    }
    ~SignalsHeld() { ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

private:
    sigset_t previous_;
};

std::string BackupNameFor(const std::string& path) { return path + ".keep" + std::to_string(::getpid()); }

bool Exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

UserMessage Value(const std::string& s) { return UserMessage::Value(s); }

}  // namespace

std::optional<OutputNamesProblem> CheckOutputNames(const std::vector<OutputName>& outputs) {
    auto refuse = [](const char* pattern, std::vector<UserMessage> args) {
        OutputNamesProblem p;
        p.refusal = UserMessage(scope, pattern, std::move(args));
        return p;
    };
    // A rename acts on a folder's entry: two names are the same file when they are the same
    // entry of the same folder, however they are spelt (a link counts as its target); a file
    // written straight is the same as another by its inode; "-" is one.
    std::map<std::tuple<dev_t, ino_t, std::string>, const OutputName*> seen;
    for (const OutputName& out : outputs) {
        const std::string& named = out.path;
        if (named.empty()) {
            OutputNamesProblem p;
            p.usage = true;
            p.usageText = out.option + " needs a file name";
            return p;
        }
        const WriteTarget target = ResolveWriteTarget(named);
        std::tuple<dev_t, ino_t, std::string> key{0, 0, "-"};
        if (target.kind == WriteKind::Direct) {
            // A FIFO or a device: it is there; it must let us write.
            struct stat st {};
            if (::access(named.c_str(), W_OK) != 0 || ::stat(named.c_str(), &st) != 0)
                return refuse(QT_TRANSLATE_NOOP("BatchOutput", "出力ファイル %1 に書き込めません（%2）。"),
                              {Value(named), Value(std::strerror(errno))});
            key = target.descriptor == STDOUT_FILENO ? key : std::make_tuple(st.st_dev, st.st_ino, std::string());
        } else if (target.kind == WriteKind::Replace) {
            if (target.file.empty())
                return refuse(QT_TRANSLATE_NOOP("BatchOutput", "出力ファイル %1 のリンクをたどれません。"), {Value(named)});
            const std::string& path = target.file;
            const size_t slash = path.find_last_of('/');
            const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
            const std::string entry = slash == std::string::npos ? path : path.substr(slash + 1);
            struct stat st {};
            if (entry.empty() || entry == "." || entry == ".." || (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)))
                return refuse(QT_TRANSLATE_NOOP("BatchOutput", "出力ファイル %1 はフォルダです。ファイルの名前を指定してください。"),
                              {Value(named)});
            struct stat folderStat {};
            if (::stat(folder.c_str(), &folderStat) != 0) {
                if (errno == ENOENT || errno == ENOTDIR)
                    return refuse(QT_TRANSLATE_NOOP("BatchOutput", "出力ファイル %1 のフォルダ %2 がありません。"),
                                  {Value(named), Value(folder)});
                return refuse(QT_TRANSLATE_NOOP("BatchOutput", "出力ファイル %1 のフォルダ %2 に書き込めません（%3）。"),
                              {Value(named), Value(folder), Value(std::strerror(errno))});
            }
            if (!S_ISDIR(folderStat.st_mode))
                return refuse(QT_TRANSLATE_NOOP("BatchOutput", "出力ファイル %1 の %2 はフォルダではありません。"),
                              {Value(named), Value(folder)});
            if (::access(folder.c_str(), W_OK | X_OK) != 0)
                return refuse(QT_TRANSLATE_NOOP("BatchOutput", "出力ファイル %1 のフォルダ %2 に書き込めません（%3）。"),
                              {Value(named), Value(folder), Value(std::strerror(errno))});
            key = std::make_tuple(folderStat.st_dev, folderStat.st_ino, entry);
        }
        if (const auto earlier = seen.find(key); earlier != seen.end()) {
            OutputNamesProblem p;
            p.usage = true;
            p.usageText = earlier->second->option + " and " + out.option + " name the same file '" + named +
                          "'; each output needs a file of its own";
            return p;
        }
        seen.emplace(key, &out);
    }
    return std::nullopt;
}

BatchOutput::~BatchOutput() { RemoveTemporaries(); }

void BatchOutput::Add(std::string path, std::string bytes) { files_.emplace_back(std::move(path), std::move(bytes)); }

void BatchOutput::RemoveTemporaries() {
    for (const std::string& t : temporaries_)
        if (!t.empty()) ::unlink(t.c_str());
    temporaries_.clear();
}

// Outputs 0 .. renamed - 1 hold the new files: each takes back its old content from its
// backup, or goes where there was none. The others keep theirs: a linked backup goes, a moved
// one comes back.
void BatchOutput::RestoreOutputs(size_t renamed) {
    std::vector<std::string> lost;
    for (size_t k = 0; k < files_.size(); ++k) {
        if (temporaries_[k].empty()) continue;
        const std::string& path = targets_[k].file;
        const std::string& backup = backups_[k];
        if (k >= renamed && !moved_[k]) {
            if (!backup.empty()) ::unlink(backup.c_str());
        } else if (backup.empty()) {
            ::unlink(path.c_str());
        } else if (std::rename(backup.c_str(), path.c_str()) != 0) {
            lost.push_back(path);
        }
    }
    if (!lost.empty())
        throw MessageError(UserMessage(scope, QT_TRANSLATE_NOOP("BatchOutput", "ファイル %1 を元に戻せませんでした。元の内容は %2 にあります。"),
                                       {Value(lost.front()), Value(BackupNameFor(lost.front()))}));
}

// The outputs that are not renamed into place, in the order they were added. SIGPIPE is
// ignored meanwhile: a reader that goes away is a failed write, which removes the temporaries,
// not an end of the process that would leave them.
void BatchOutput::WriteStraight() {
    struct sigaction ignore {}, previous {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGPIPE, &ignore, &previous);
    struct Restore {
        struct sigaction& previous;
        ~Restore() { ::sigaction(SIGPIPE, &previous, nullptr); }
    } restore{previous};
    for (size_t k = 0; k < files_.size(); ++k) {
        const std::string& bytes = files_[k].second;
        if (targets_[k].kind == WriteKind::Direct && targets_[k].descriptor >= 0) {
            // Standard output named as /dev/stdout goes where "-" goes.
            if (targets_[k].descriptor == 1 && standardOutput) {
                standardOutput->write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
                standardOutput->flush();
                if (!*standardOutput)
                    throw MessageError(UserMessage(scope, QT_TRANSLATE_NOOP("BatchOutput", "標準出力に書き込めませんでした。"), {}));
            } else {
                WriteToDescriptor(targets_[k].descriptor, files_[k].first, bytes);
            }
        } else if (targets_[k].kind == WriteKind::Direct) {
            WriteDirect(targets_[k].file, bytes);
        } else if (targets_[k].kind == WriteKind::StandardOutput) {
            if (standardOutput) {
                standardOutput->write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
                standardOutput->flush();
                if (!*standardOutput)
                    throw MessageError(UserMessage(scope, QT_TRANSLATE_NOOP("BatchOutput", "標準出力に書き込めませんでした。"), {}));
            } else {
                WriteDirect("/dev/stdout", bytes);
            }
        }
    }
}

void BatchOutput::Commit() {
    // Every name exists before the handler is armed, so publishing never allocates.
    targets_.clear();
    temporaries_.clear();
    for (const auto& f : files_) {
        targets_.push_back(ResolveWriteTarget(f.first));
        if (targets_.back().kind == WriteKind::Replace && targets_.back().file.empty())
            throw MessageError(UserMessage(scope, QT_TRANSLATE_NOOP("BatchOutput", "出力ファイル %1 のリンクをたどれません。"), {Value(f.first)}));
        temporaries_.push_back(targets_.back().kind == WriteKind::Replace ? TemporaryNameFor(targets_.back().file) : std::string());
    }
    backups_.assign(files_.size(), std::string());
    moved_.assign(files_.size(), false);
    SignalGuard guard;
    try {
        for (size_t k = 0; k < files_.size(); ++k) {
            if (temporaries_[k].empty()) continue;
            guard.Publish(temporaries_[k]);
            WriteTemporaryFile(temporaries_[k], files_[k].first, files_[k].second);
            if (afterTemporaryWritten) afterTemporaryWritten(temporaries_[k]);
        }
        WriteStraight();
    } catch (...) {
        RemoveTemporaries();
        guard.UnpublishAll();
        throw;
    }

    // From here to the end no signal is handled: it comes after the renames, when the outputs
    // are all new and there is nothing left to remove.
    SignalsHeld held;
    size_t renamed = 0;
    size_t toRename = 0;
    for (const std::string& t : temporaries_) toRename += !t.empty();
    try {
        for (size_t k = 0; k < files_.size(); ++k) {
            if (temporaries_[k].empty()) continue;
            const std::string& path = targets_[k].file;
            if (!Exists(path)) continue;
            const std::string backup = BackupNameFor(path);
            // A file system without hard links: the old file moves to the backup name instead,
            // and is moved back unless its new file arrives. A file already under the backup
            // name is someone's: it stays, and nothing is written.
            bool moved = false;
            if (::link(path.c_str(), backup.c_str()) != 0) {
                const int err = errno;
                if (err == EEXIST || Exists(backup) || std::rename(path.c_str(), backup.c_str()) != 0)
                    throw MessageError(UserMessage(
                        scope, QT_TRANSLATE_NOOP("BatchOutput", "ファイル %1 の元の内容を残せないため、書き込みませんでした（%2: %3）。"),
                        {Value(files_[k].first), Value("link"), Value(std::strerror(err))}));
                moved = true;
            }
            backups_[k] = backup;
            moved_[k] = moved;
        }
        size_t done = 0;
        for (size_t k = 0; k < files_.size(); ++k) {
            if (temporaries_[k].empty()) continue;
            CommitTemporaryFile(temporaries_[k], targets_[k].file);
            renamed = k + 1;
            if (betweenRenames && ++done < toRename) betweenRenames(done);
        }
    } catch (...) {
        RestoreOutputs(renamed);
        RemoveTemporaries();
        guard.UnpublishAll();
        // A failure the user can be told of says too that nothing was changed.
        try {
            throw;
        } catch (const MessageError& e) {
            throw MessageError(UserMessage(scope, QT_TRANSLATE_NOOP("BatchOutput", "%1 出力ファイルはどれも元のままです。"), {e.Message()}));
        }
    }
    for (const std::string& b : backups_)
        if (!b.empty()) ::unlink(b.c_str());
    temporaries_.clear();
    guard.UnpublishAll();
}

}  // namespace velmora
