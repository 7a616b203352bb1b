#include "core/treemap/Squarify.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace nrvs {

void Squarify(const std::vector<double>& weights, const TreemapRect& bounds,
              std::vector<TreemapRect>& out, std::vector<size_t>& order) {
    out.assign(weights.size(), TreemapRect{bounds.X, bounds.Y, 0, 0});
    if (!(bounds.W > 0) || !(bounds.H > 0)) return;
    order.clear();
    double total = 0;
    for (size_t i = 0; i < weights.size(); ++i)
        if (Positive(weights[i])) {
            order.push_back(i);
            total += weights[i];
        }
    if (order.empty()) return;
    if (!std::isfinite(total)) {
        // Sizes beyond what a double adds up: scale them down first.
        std::vector<double> scaled(weights.size(), 0);
        for (size_t i : order)
            scaled[i] = weights[i] / 1e300;
        Squarify(scaled, bounds, out, order);
        return;
    }
    // Equal weights keep their input order; std::sort with that tie-break
    // needs no buffer, unlike a stable sort, for each of many folders.
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return weights[a] != weights[b] ? weights[a] > weights[b] : a < b;
    });
    const double scale = bounds.W * bounds.H / total;
    TreemapRect r = bounds;
    size_t i = 0;
    const size_t n = order.size();
    while (i < n) {
        const bool columns = r.W >= r.H; // the row runs along the shorter side
        const double side = std::max(columns ? r.H : r.W, 1e-300);
        const double side2 = side * side;
        const double first = weights[order[i]] * scale;
        double rowSum = 0, worst = HUGE_VAL;
        size_t j = i;
        while (j < n) {
            const double a = weights[order[j]] * scale;
            const double sum = rowSum + a;
            const double s2 = sum * sum;
            const double ratio = std::max(side2 * first / s2, s2 / (side2 * a));
            if (j > i && ratio > worst) break;
            worst = ratio;
            rowSum = sum;
            ++j;
        }
        // The last row takes whatever is left, so that rounding never leaves
        // a seam.
        const bool last = j == n;
        double thick = last ? (columns ? r.W : r.H) : rowSum / side;
        double pos = columns ? r.Y : r.X;
        const double end = columns ? r.Y + r.H : r.X + r.W;
        for (size_t k = i; k < j; ++k) {
            const double a = weights[order[k]] * scale;
            double len = k + 1 == j ? end - pos : (thick > 0 ? a / thick : 0);
            if (k + 1 < j) len = std::min(len, end - pos);
            TreemapRect& o = out[order[k]];
            if (columns)
                o = {r.X, pos, thick, len};
            else
                o = {pos, r.Y, len, thick};
            pos += len;
        }
        if (columns) {
            thick = std::min(thick, r.W);
            r.X += thick;
            r.W = std::max(0.0, r.W - thick);
        } else {
            thick = std::min(thick, r.H);
            r.Y += thick;
            r.H = std::max(0.0, r.H - thick);
        }
        i = j;
    }
}

std::vector<TreemapRect> SquarifyLayout(const std::vector<double>& weights,
                                        const TreemapRect& bounds) {
    std::vector<TreemapRect> out;
    std::vector<size_t> order;
    Squarify(weights, bounds, out, order);
    return out;
}

} // namespace nrvs
