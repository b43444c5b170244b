// velmora1-batch: one calculation from the command line, for scripted runs and for checking
// the physics without a window.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace velmora {

// Exit status: 0 success, 1 bad input or a refused run, 2 a usage error. Messages and progress
// go to err; no output file is written unless the run succeeds. What was asked for (--help,
// --version) goes to out.
int RunBatchCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
// The same with out and err one stream.
int RunBatchCommand(const std::vector<std::string>& args, std::ostream& err);

// "out.txt" with "-red" gives "out-red.txt"; a name without extension gets the suffix at the end.
std::string InsertBeforeExtension(const std::string& path, const std::string& suffix);

}  // namespace velmora
