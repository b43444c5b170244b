// Everything one calculation is made from, as one JSON object: the panel's record, the
// aberrations in waves, the brightness, the names of the user filter and user mask files and
// the wavelength-dependence table. The batch command writes it into its report and reads it
// back with --params, so that a report repeats its run bit for bit; a window can save and load
// a whole set-up as the same object.
//
// Every key is optional and has the factory value as its default, so a later version adds its
// inputs as new keys with defaults that leave the run as before, and an older object still
// reads. A key that is not known is refused: a run it was meant to change would not be the run
// the object describes.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "core/MirrorAndField.h"
#include "core/PsfCalculation.h"
#include "imaging/SkyConditions.h"
#include "core/SimulationParameters.h"
#include "core/Zernike.h"

namespace velmora {

struct WavelengthTableInput {
    std::string file;                           // where it was read from ("" when not from a file)
    std::vector<std::string> wavelengths;       // the first cell of each row, as written
    std::vector<WavelengthDependenceRow> rows;  // the cells as the run converts them
    bool operator==(const WavelengthTableInput& o) const {
        if (file != o.file || wavelengths != o.wavelengths || rows.size() != o.rows.size()) return false;
        for (size_t k = 0; k < rows.size(); ++k)
            if (rows[k].spherical != o.rows[k].spherical || rows[k].focus != o.rows[k].focus) return false;
        return true;
    }
};

struct RunParameters {
    SimulationParameters panel;
    // The coefficients the run uses; when absent, the record's spin positions give them.
    std::optional<Aberrations> aberrations;
    int brightness = 5;  // the 2D picture's brightness level, 1..100
    std::optional<std::string> userFilterFile;
    std::optional<std::string> userMaskFile;
    std::optional<WavelengthTableInput> wavelengthTable;
    // Zernike terms that add to the coefficients, in waves, as a file or the window gave them.
    std::optional<ZernikeSet> zernike;
    // The primary's conic and the field angle; written as "mirror" only when on, so that a
    // run without it reads and writes as before.
    MirrorAndField mirror;
    // The long-exposure seeing in arcseconds at 500 nm, 0 = none (written only when set).
    double seeingArcsec = 0;
    // A companion star (written only when there is one).
    Companion companion;
    // The camera's pixel in micrometres, 0 = no camera image (written only when set).
    double cameraPixelUm = 0;
    bool operator==(const RunParameters&) const = default;
};

// Raised by the reader; what() names the key by its path ("parameters.bands_nm.white.min")
// and says what it should hold.
class RunParametersError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Keys in a fixed order; doubles are written so that they read back to the same bits.
nlohmann::ordered_json RunParametersToJson(const RunParameters& p);
// `where` prefixes the key paths of the messages ("parameters").
RunParameters RunParametersFromJson(const nlohmann::json& j, const std::string& where = "parameters");

// The object a --params file holds: a report's "parameters" when the document has the report
// schema's key, else the document itself. Raises RunParametersError (also for text that is no
// JSON, with the position of the fault).
RunParameters RunParametersFromDocument(const std::string& text);

}  // namespace velmora
