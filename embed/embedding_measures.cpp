// MeasureEmbedding and CheckEmbedding of spherical_embedding.h.
#include <algorithm>
#include <cmath>
#include <limits>

#include "embed/sphere_math.h"
#include "embed/spherical_embedding.h"
#include "geometry/exact_predicates.h"

namespace vorlane {

EmbedStatistics MeasureEmbedding(const ModelTable& table, const std::vector<Vec3>& directions)
{
    EmbedStatistics statistics;
    if (table.triangles.empty() || directions.size() != table.vertices.size()) return statistics;
    double totalArea = 0.0;
    std::vector<double> areas(table.triangles.size()), shares(table.triangles.size());
    for (size_t t = 0; t < table.triangles.size(); ++t) {
        const Triangle& f = table.triangles[t];
        areas[t] = TriangleArea(table.vertices[static_cast<size_t>(f[0])], table.vertices[static_cast<size_t>(f[1])],
                                table.vertices[static_cast<size_t>(f[2])]);
        totalArea += areas[t];
        shares[t] = SolidAngle(UnitOf(directions[static_cast<size_t>(f[0])]), UnitOf(directions[static_cast<size_t>(f[1])]),
                               UnitOf(directions[static_cast<size_t>(f[2])])) /
                    (4.0 * M_PI);
    }
    statistics.smallestShare = *std::min_element(shares.begin(), shares.end());
    std::vector<double> ratios(table.triangles.size());
    double within = 0.0;
    for (size_t t = 0; t < ratios.size(); ++t) {
        ratios[t] = areas[t] > 0.0 ? shares[t] / (areas[t] / totalArea) : std::numeric_limits<double>::infinity();
        if (ratios[t] >= 0.1 && ratios[t] <= 10.0) within += areas[t];
    }
    statistics.areaWithinTenfold = totalArea > 0.0 ? within / totalArea : 0.0;
    auto percentile = [&ratios](double p) {
        const auto k = static_cast<size_t>(p * static_cast<double>(ratios.size() - 1));
        std::nth_element(ratios.begin(), ratios.begin() + static_cast<std::ptrdiff_t>(k), ratios.end());
        return ratios[k];
    };
    statistics.ratioPercentile1 = percentile(0.01);
    statistics.ratioPercentile99 = percentile(0.99);
    return statistics;
}

std::string CheckEmbedding(const ModelTable& table, const std::vector<Vec3>& directions)
{
    if (directions.size() != table.vertices.size()) return "one direction per vertex is needed";
    double total = 0.0;
    for (size_t t = 0; t < table.triangles.size(); ++t) {
        const Triangle& f = table.triangles[t];
        const Vec3& a = directions[static_cast<size_t>(f[0])];
        const Vec3& b = directions[static_cast<size_t>(f[1])];
        const Vec3& c = directions[static_cast<size_t>(f[2])];
        if (Orient3(a, b, c) <= 0) return "triangle " + std::to_string(t) + " is not positively oriented";
        total += SolidAngle(UnitOf(a), UnitOf(b), UnitOf(c));
    }
    // All positive on a closed surface: the triangles cover the sphere a
    // whole number of times; once is a tiling.
    const double turns = total / (4.0 * M_PI);
    if (std::fabs(turns - 1.0) > 1e-6) return "the triangles cover the sphere " + std::to_string(turns) + " times";
    return {};
}

}  // namespace vorlane
