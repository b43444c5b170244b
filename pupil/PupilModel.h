// The optical model of the telescope pupil: rim, central obstruction, spider vanes, density
// profile, and the build of the sampled pupil amplitude for one wavelength into workGrid.
//
// Sampling convention: an n x n array indexed (i, j), i the horizontal screen axis (to the
// right), j the vertical one (downward); vane angles run from +x towards +y, so clockwise on
// the screen.
#pragma once

#include <array>

#include "core/Fft.h"
#include "core/Matrix.h"
#include "core/LoadedMask.h"
#include "core/Picture24.h"
#include "core/SimulationParameters.h"

namespace velmora {

inline constexpr int userFilterCapacity = 500;

// The radial transmission table read from a user filter file.
struct UserFilter {
    std::array<double, userFilterCapacity> userFilterTable{};
    int userFilterCount = 0;
    bool userFilterLoaded = false;
};

// The one-sample linear edge of every boundary; d is the signed distance in samples from the
// boundary, positive on the open side.
double EdgeRamp(double d);

// Density factor at normalised radius rho for every profile but UserMask (which is sampled
// from the mask picture). UserFilter without a loaded table gives 1 (no attenuation); at
// rho = 1, where the lookup index reaches the entry count, the last entry is used.
double DensityFactor(DensityProfileKind kind, double coefficient, const UserFilter* filter, double rho);

// Geometry of one spider vane, prepared once for an angle and a sampling.
struct VaneGeometry {
    int geometry = 1;   // 1..4: which vane's edges and half-plane are used
    double c = 0;       // sampling centre
    double h = 0;       // half width in samples
    double slope = 0;   // tan(theta) for 1 and 3, tan(90 deg - theta) for 2 and 4
    double offset = 0;  // h / |cos| of the same angle
    double kappa = 1;   // cos of the angle within the geometry's quadrant
};
VaneGeometry MakeVaneGeometry(int geometry, double thetaDegrees, double centre, double halfWidth);
// The factor the vane's rules give sample (i, j), the last rule that applies winning; false
// when no rule applies (outside the half-plane, or away from the vane). With inclusiveEdges
// an edge takes |d| <= 0.5/kappa (aperture preview), otherwise |d| < 0.5/kappa and the body
// takes the samples exactly at |d| = 0.5/kappa inside the vane.
bool VaneFactor(const VaneGeometry& vane, double i, double j, bool inclusiveEdges, double& factor);
// The factors of every rule that applies to sample (i, j), in rule order (edge e+, edge e-,
// body); returns how many. The aperture preview multiplies them all.
int VaneRules(const VaneGeometry& vane, double i, double j, bool inclusiveEdges, double factors[3]);

class UserMaskStages;

struct PupilInputs {
    const SimulationParameters* params = nullptr;
    const UserFilter* userFilter = nullptr;   // UserFilter profile; null or unloaded: factor 1
    const Picture24* userMask = nullptr;      // UserMask profile; null (nothing loaded): factor 1
    const LoadedMask* loadedMask = nullptr;  // the same in its kept form, used when set
    Picture24* userMaskStage = nullptr;       // optional: receives the mask staged for the build
    UserMaskStages* userMaskStages = nullptr; // optional: the run's stages of userMask, reused
};

// Builds the pupil amplitude (geometry and density, no phase) for lambdaNm: clears workGrid
// (gridSize x gridSize) and writes the pupilSamples x pupilSamples sampling centred on
// [512][512]. Returns pupilSamples, or 0 without touching workGrid when it is not 1..gridSize.
// Progress, if given, advances once per column. Several threads may build from the same inputs
// at once, each into its own workGrid, as long as userMaskStage is null.
int BuildPupil(const PupilInputs& in, int lambdaNm, RealMatrix workGrid, const ProgressFn& progress = {});

}  // namespace velmora
