// A wavelength-dependence table as a text file, for runs without a window: one row per line,
// "wavelength spherical focus" separated by blanks, in waves; blank lines and lines starting
// with '#' are skipped, and so is a UTF-8 byte-order mark at the start. The rows come back as the window's table holds them, as text cells, so
// the calculation judges them with the same messages.
#pragma once

#include <string>
#include <vector>

#include "core/PsfCalculation.h"

namespace velmora {

// A table needs a few bytes per wavelength; no file, however large, is read further.
inline constexpr size_t wavelengthTableReadLimit = size_t{4} << 20;

struct WavelengthTableRead {
    bool ok = false;
    std::string problem;                        // why not (English, for the command line)
    std::vector<WavelengthDependenceRow> rows;  // in file order; missing cells are empty
    std::vector<std::string> wavelengths;       // the first cell of each row, as written
    std::vector<int> lineNumbers;               // the file line of each row, from 1
};

WavelengthTableRead ReadWavelengthTableFile(const std::string& path);
WavelengthTableRead ReadWavelengthTableText(const std::string& text);

}  // namespace velmora
