// The window program's command line, judged before the application starts: --help and
// --version print and end the program, an unknown option or argument is a usage error, and
// the known options (--lang, --per-user-folder, and Qt's own such as -platform or -style) are
// left to those that read them.
#pragma once

#include <string>
#include <vector>

namespace velmora {

struct WindowCommandLine {
    enum class Action { OpenWindow, PrintHelp, PrintVersion, UsageError };
    Action action = Action::OpenWindow;
    std::string text;  // PrintHelp, PrintVersion: for standard output; UsageError: the two lines
};

WindowCommandLine ParseWindowCommandLine(const std::vector<std::string>& args);

}  // namespace velmora
