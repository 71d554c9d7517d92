#include "prepare/central_crowding.h"

#include <cmath>
#include <vector>

#include "geometry/dvec3.h"
#include "geometry/index_at.h"

namespace vorlane {

double CrowdedShare(const Polyhedron& model)
{
    std::vector<double> areas, angles;
    areas.reserve(model.faces.size());
    angles.reserve(model.faces.size());
    double total = 0.0;
    for (const Triangle& t : model.faces) {
        const D3 a = ToD(At(model.vertices, t[0])), b = ToD(At(model.vertices, t[1])), c = ToD(At(model.vertices, t[2]));
        const D3 n = Cross(Sub(b, a), Sub(c, a));
        const double area = 0.5 * std::sqrt(Dot(n, n));
        // The solid angle the triangle spans about the centre (Van Oosterom
        // and Strackee), 0 for a corner at the centre itself.
        const double la = std::sqrt(Dot(a, a)), lb = std::sqrt(Dot(b, b)), lc = std::sqrt(Dot(c, c));
        const double angle = 2.0 * std::atan2(std::fabs(Dot(a, Cross(b, c))),
                                              la * lb * lc + Dot(a, b) * lc + Dot(a, c) * lb + Dot(b, c) * la);
        areas.push_back(area);
        angles.push_back(angle);
        total += area;
    }
    if (!(total > 0.0)) return 0.0;
    double crowded = 0.0;
    for (std::size_t i = 0; i < areas.size(); ++i) {
        if (angles[i] / (4.0 * M_PI) <= 0.01 * areas[i] / total) crowded += areas[i];
    }
    return crowded / total;
}

}  // namespace vorlane
