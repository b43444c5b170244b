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
    return IdealRequest(a.request).params == IdealRequest(b.request).params && SameFilter(a.filter, b.filter) &&
           SameMask(a.mask, b.mask);
}

RunSpec IdealSpec(RunSpec spec) {
    spec.request = IdealRequest(std::move(spec.request));
    spec.sky.companion = Companion{};
    spec.cameraPixelUm = 0;
    return spec;
}

}  // namespace velmora
