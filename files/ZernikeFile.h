// The Zernike coefficient file (".zer"): UTF-8 text of lines; blank lines and lines whose first
// word starts with '#' are skipped, and so is a UTF-8 byte-order mark at the start. An optional
// first line "ordering fringe" or "ordering ansi" (fringe when absent) names the ordering; every
// other line is "index coefficient", the coefficient in waves. A file with any line that does
// not fit is refused as a whole, with the line's number.
#pragma once

#include <string>

#include "core/UserMessage.h"
#include "core/Zernike.h"

namespace velmora {

inline constexpr const char* zernikeDialogFilter =
    QT_TRANSLATE_NOOP("ZernikeFile", "ゼルニケ係数(*.zer)|*.zer|すべて(*.*)|*.*");
inline constexpr const char* zernikeExtension = ".zer";

// A file of 91 terms needs a few kilobytes; none, however large, is read further.
inline constexpr size_t zernikeReadLimit = size_t{1} << 20;
// Beyond this many waves a term turns the phase by far more than the grid samples, and a sum
// of such terms could overflow; a measured mirror is a few waves at most.
inline constexpr double zernikeCoefficientLimit = 1000;

struct ZernikeFileRead {
    bool ok = false;
    std::string problem;  // why not, in the words of a message box (Japanese)
    UserMessage reason;   // the same, for a window to translate
    ZernikeSet set;       // what the file holds, when ok
};

ZernikeFileRead ReadZernikeFile(const std::string& path);
ZernikeFileRead ReadZernikeText(const std::string& text);

// A coefficient typed or read: a number in the C notation (an optional '+' before it), finite and
// within the limit.
bool ParseZernikeCoefficient(const std::string& text, double& value);
// The shortest text that reads back to the same double ("0.25", "-1e-05", "0").
std::string ZernikeCoefficientText(double c);

// The file for a set: a comment line, the ordering line and one line per non-zero term in index
// order, each coefficient in the shortest form that reads back to the same double; ASCII with
// CR LF line ends.
std::string ZernikeFileText(const ZernikeSet& set);

}  // namespace velmora
