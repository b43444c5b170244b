// The double star's measurement: the dip of the light between the star and its companion in
// the scene a run shows, and whether Sparrow's criterion calls the pair resolved.
#pragma once

#include "analysis/Analysis.h"

namespace velmora {

// The pair's dip along the segment from the star at (pi, pj) (its peak, refined between the
// samples) to the companion, read every twentieth of a sample.
void MeasurePair(const BandResult& band, int pi, int pj, BandMeasurements& m);

}  // namespace velmora
