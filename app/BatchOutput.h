// The batch command's outputs, written all or nothing: every file goes to a temporary name
// first and is renamed only once all of them are complete. On failure, SIGINT or SIGTERM no
// temporary file and no output of the run is left behind.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace velmora {

class BatchOutput {
public:
    BatchOutput() = default;
    BatchOutput(const BatchOutput&) = delete;
    BatchOutput& operator=(const BatchOutput&) = delete;
    ~BatchOutput();

    void Add(std::string path, std::string bytes);
    // Writes and renames every file. Throws MessageError naming the file on the first
    // failure, after removing every temporary file and every output already renamed.
    void Commit();

    // Called after each temporary file is complete (lets a test interrupt the writing).
    std::function<void(const std::string& temporary)> afterTemporaryWritten;

private:
    void RemoveAll();
    std::vector<std::pair<std::string, std::string>> files_;
    std::vector<std::string> temporaries_;
    std::vector<std::string> renamed_;
};

}  // namespace velmora
