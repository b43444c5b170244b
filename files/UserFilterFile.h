// The user filter file (".uft"): a radial transmission table, read as blank-separated tokens:
// seven words, the entry count N, two words, then N pairs of reals of which the second is the
// entry. The program never writes these files.
#pragma once

#include <string>

#include "core/UserMessage.h"
#include "pupil/PupilModel.h"

namespace velmora {

inline constexpr const char* userFilterDialogFilter =
    QT_TRANSLATE_NOOP("UserFilterFile", "ユーザフィルタ(*.uft)|*.uft|すべて(*.*)|*.*");

// Words longer than this are refused as numbers (and skipped whole as header words).
inline constexpr size_t userFilterWordLimit = 255;
// A full table needs well under 1 MiB; no file, however large or endless, is read further.
inline constexpr size_t userFilterReadLimit = size_t{4} << 20;

struct UserFilterRead {
    bool ok = false;
    std::string problem;  // why not, in the words of a message box (Japanese)
    UserMessage reason;   // the same, for a window to translate
    int countInFile = 0;  // the file's N, which may be more than the table stores

    // The file has more entries than the table holds: only the first 500 are used, and the user
    // should be told so.
    bool Truncated() const { return ok && countInFile > userFilterCapacity; }
};

// The message that says a file's table was cut to the table's size (Japanese, for a warning box).
std::string UserFilterTruncatedText(const std::string& fileName, int countInFile);
UserMessage UserFilterTruncatedMessage(const std::string& fileName, int countInFile);

// Reads the file into `filter`: entries 0..N-1 (at most the table's 500) replace the table's,
// the higher ones stay; userFilterCount becomes the entries stored and userFilterLoaded is set.
// A file whose count or any value cannot be read leaves `filter` exactly as it was.
UserFilterRead ReadUserFilterFile(const std::string& path, UserFilter& filter);
// The same for the file's text.
UserFilterRead ReadUserFilterText(const std::string& text, UserFilter& filter);

}  // namespace velmora
