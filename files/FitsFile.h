// FITS export of a run's full-precision intensity: the normalised 1024 x 1024 grid of each band
// as 64-bit floats, with the instrument, the band and the Strehl ratio in the header.
#pragma once

#include <string>

#include "core/PsfCalculation.h"

namespace velmora {

// The dialog's filter and the extension the save pattern gives the target.
inline constexpr const char* fitsExportFilter = "FITS(*.fits)|*.fits";
inline constexpr const char* fitsExtension = ".fits";

// The file's bytes. Monochrome: one image in the primary HDU. Colour: a primary HDU without data
// holding the instrument's keywords, then image extensions RED, GREEN and BLUE. NAXIS1 runs along
// the grid's first index (the picture's x). Throws MessageError when the library refuses.
std::string EncodeFits(const FullResult& full);

}  // namespace velmora
