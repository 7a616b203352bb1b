// The squarified layout for the map's own use: it keeps the buffers
// between calls, where SquarifyLayout allocates each time.
#pragma once

#include "core/treemap/Treemap.h"

#include <cmath>
#include <cstddef>
#include <vector>

namespace nrvs {

inline bool Positive(double w) {
    return std::isfinite(w) && w > 0;
}

// The layout into out (as many as weights), with a buffer for the order
// that the caller keeps, so that laying out many small folders allocates
// nothing.
void Squarify(const std::vector<double>& weights, const TreemapRect& bounds,
              std::vector<TreemapRect>& out, std::vector<size_t>& order);

} // namespace nrvs
