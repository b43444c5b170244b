#include "run/RunSpec.h"

#include "analysis/Analysis.h"

namespace velmora {

namespace {

bool SameFilter(const UserFilter& a, const UserFilter& b) {
    return a.userFilterLoaded == b.userFilterLoaded && a.userFilterCount == b.userFilterCount &&
           a.userFilterTable == b.userFilterTable;
}

bool SameMask(const std::shared_ptr<const LoadedMask>& a, const std::shared_ptr<const LoadedMask>& b) {
    if (a == b) return true;
    if (!a || !b) return false;
    return a->width == b->width && a->height == b->height && a->grey == b->grey && a->colour == b->colour;
}

}  // namespace

bool SamePupils(const RunSpec& a, const RunSpec& b) {
    // The records alone, not the whole requests: this is asked at every automatic run.
    if (!(WithoutAberrations(a.request.params) == WithoutAberrations(b.request.params))) return false;
    // A loaded filter or mask shapes the pupils only under its own density profile.
    switch (a.request.params.densityProfile) {
    case DensityProfileKind::UserFilter:
        return SameFilter(a.filter, b.filter);
    case DensityProfileKind::UserMask:
        return SameMask(a.mask, b.mask);
    default:
        return true;
    }
}

RunSpec IdealRunSpec(RunSpec runSpec) {
    runSpec.request = IdealRequest(std::move(runSpec.request));
    runSpec.sky.companion = Companion{};
    runSpec.cameraPixelUm = 0;
    return runSpec;
}

}  // namespace velmora
