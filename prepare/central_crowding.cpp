#include "prepare/central_crowding.h"

#include <cmath>
#include <vector>

#include "geometry/dvec3.h"
#include "geometry/index_at.h"

namespace vorlane {

double CrowdedShare(const Polyhedron& model)
{
    std::vector<double> areas;
    areas.reserve(model.faces.size());
    double total = 0.0;
    for (const Triangle& t : model.faces) {
        const D3 a = ToD(At(model.vertices, t[0])), b = ToD(At(model.vertices, t[1])), c = ToD(At(model.vertices, t[2]));
        const D3 n = Cross(Sub(b, a), Sub(c, a));
        areas.push_back(0.5 * std::sqrt(Dot(n, n)));
        total += areas.back();
    }
    if (!(total > 0.0)) return 0.0;
    double crowded = 0.0;
    for (std::size_t i = 0; i < areas.size(); ++i) {
        const Triangle& t = model.faces[i];
        const D3 a = ToD(At(model.vertices, t[0])), b = ToD(At(model.vertices, t[1])), c = ToD(At(model.vertices, t[2]));
        // The solid angle about the centre is 2 atan(y / x) (Van Oosterom
        // and Strackee), below 2 y / x: a triangle that bound puts under
        // its hundredth is crowded, which spares an arctangent each.
        const double la = Norm(a), lb = Norm(b), lc = Norm(c);
        const double y = std::fabs(TripleProduct(a, b, c));
        const double x = la * lb * lc + Dot(a, b) * lc + Dot(a, c) * lb + Dot(b, c) * la;
        const double fair = 4.0 * M_PI * 0.01 * areas[i] / total;
        if (x > 0.0 && 2.0 * y <= fair * x) crowded += areas[i];
    }
    return crowded / total;
}

}  // namespace vorlane
