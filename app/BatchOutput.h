// The batch command's outputs, written all or nothing. Before the calculation every output
// name is checked (its folder is there and writable, it is no folder, no two outputs are the
// same file). At the end every file goes to a temporary name first; then, with SIGINT and
// SIGTERM held back, each existing output is kept under a backup name (a hard link), the
// temporaries are renamed into place and the backups removed. If a rename fails, every output
// gets its old content back (or goes, where there was none). A signal thus comes either
// before the renames (nothing changed, the temporaries removed) or after them (all new).
// Names are taken as Qt's QSaveFile takes them (ResolveWriteTarget): a symbolic link is
// followed and its target replaced, the link staying; a FIFO or a device is written directly,
// and "-" is standard output. Those are written after every temporary file is complete and
// before the first rename, so a failure there still leaves every regular output as it was.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/UserMessage.h"
#include "files/SaveTarget.h"

namespace velmora {

// One output as the command line names it: the option and the file.
struct OutputName {
    std::string option;  // "--report"
    std::string path;
};

// What is wrong with a set of output names, if anything. A usage error (two outputs naming the
// same file) is the command line's own fault; a refusal is about the file system.
struct OutputNamesProblem {
    bool usage = false;
    std::string usageText;  // English, as the other usage errors
    UserMessage refusal;
};
std::optional<OutputNamesProblem> CheckOutputNames(const std::vector<OutputName>& outputs);

class BatchOutput {
public:
    BatchOutput() = default;
    BatchOutput(const BatchOutput&) = delete;
    BatchOutput& operator=(const BatchOutput&) = delete;
    ~BatchOutput();

    void Add(std::string path, std::string bytes);
    // Writes every file and renames them all into place. Throws MessageError naming the file
    // and the reason on the first failure, after giving every output its old content back and
    // removing every temporary and backup file.
    void Commit();

    // Where "-" goes; null: file descriptor 1.
    std::ostream* standardOutput = nullptr;

    // Called after each temporary file is complete (lets a test interrupt the writing).
    std::function<void(const std::string& temporary)> afterTemporaryWritten;
    // Called after the k-th rename into place (k from 1), with the signals held back (lets a
    // test pause there, send a signal or make the next rename fail).
    std::function<void(size_t renamed)> betweenRenames;

private:
    void RemoveTemporaries();
    void RestoreOutputs(size_t renamed);
    void WriteStraight();
    std::vector<std::pair<std::string, std::string>> files_;  // as named, with the bytes
    std::vector<WriteTarget> targets_;
    std::vector<std::string> temporaries_;  // empty for an output written straight
    std::vector<std::string> backups_;  // empty where the output did not exist
    std::vector<bool> moved_;           // the backup is the old file moved, not a link to it
};

}  // namespace velmora
