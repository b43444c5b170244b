// The measurements of one result as a JSON document, for scripts that read the numbers.
#pragma once

#include <string>

#include "analysis/Analysis.h"

namespace velmora {

// {"mode", "pixel_um", "pixel_arcsec", "pixel_um_spread", "bands": {name: {...}}, "warnings"}:
// lengths in micrometres, angles in arcseconds, frequencies in cycles per millimetre; the
// warnings as sentences (empty when the sampling is sound). Keys in this fixed order.
std::string ReportJson(const Analysis& analysis);

}  // namespace velmora
