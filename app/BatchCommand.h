// velmora1-batch: one calculation from the command line, for scripted runs and for checking
// the physics without a window.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace velmora {

// What the command takes from its process beyond the arguments.
struct BatchEnvironment {
    bool errorIsTerminal = false;  // progress then updates one line on it
    std::string language;          // VELMORA_LANG: "ja", "en" or empty; --lang wins
};

// Exit status: 0 success, 1 bad input or a refused run, 2 a usage error. Messages and progress
// go to err; no output file is written unless the run succeeds. What was asked for (--help,
// --version, an output named "-") goes to out, and nothing else (a caller whose out is the
// process's standard output turns the kernel's trace lines off first, as the program does).
int RunBatchCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, const BatchEnvironment& env);
// The same with the default environment: no terminal, Japanese.
int RunBatchCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
// The same with out and err one stream.
int RunBatchCommand(const std::vector<std::string>& args, std::ostream& err);

// "out.txt" with "-red" gives "out-red.txt"; a name without extension gets the suffix at the end.
std::string InsertBeforeExtension(const std::string& path, const std::string& suffix);

}  // namespace velmora
