// The language of the windows: Japanese, whatever the system locale, unless English is asked
// for with "--lang en" on the command line or VELMORA_LANG=en in the environment (the command
// line wins). Files the program writes do not depend on it.
#pragma once

class QApplication;

namespace velmora {

enum class Language { Japanese, English };

// The language asked for; an unknown value is reported on standard error and gives Japanese.
Language RequestedLanguage(int argc, char** argv);

// Installs the English translation built into the program when English is asked for.
// Returns the language in use; if the translation cannot be loaded, that is Japanese.
Language InstallLanguage(QApplication& app, int argc, char** argv);

}  // namespace velmora
