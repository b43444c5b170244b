// The measurements of one result as a JSON document, for scripts that read the numbers.
#pragma once

#include <string>

#include "analysis/Analysis.h"
#include "imaging/Camera.h"
#include "files/RunParameters.h"

namespace velmora {

// {"schema", "program", "mode", "pixel_um", "pixel_arcsec", "pixel_um_spread",
// "pixel_spread_ratio", "pixel_um_range", "bands": {name: {...}}, "warnings", "parameters"}:
// lengths in micrometres, angles in arcseconds, frequencies in cycles per millimetre; the
// warnings as sentences (empty when the sampling is sound). Keys in this fixed order; the
// whole layout is docs/report.schema.json. pixel_um_spread is kept as it always was, the
// relative spread (max - min) / mean, which pixel_spread_ratio names rightly; pixel_um_range is
// the same spread in micrometres. The weights of a band are relative: the run's weight of each
// wavelength's intensity, not fractions that add up to 1.
// The star test asked for, written as "star_test" when set: the defocus in waves P-V at the
// run's mean wavelength, the focuser travel it stands for, and the side of each picture.
struct StarTestReport {
    double defocusWavesPv = 0;
    double focuserTravelMm = 0;
    double pictureUm = 0;
};

struct ReportInputs {
    std::string program = "velmora1-batch";
    std::optional<RunParameters> parameters;  // written as "parameters" when set
    std::optional<StarTestReport> starTest;
    // With a companion, each band gets "double": the pair and its measured dip.
    Companion companion;
    // The camera images, one per band in the analysis's order: each band gets "camera".
    std::vector<CameraImage> cameras;
};
std::string ReportJson(const Analysis& analysis, const ReportInputs& inputs = {});

}  // namespace velmora
