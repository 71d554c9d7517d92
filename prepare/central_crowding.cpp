#include "prepare/central_crowding.h"

#include <cmath>
#include <vector>

#include "geometry/dvec3.h"
#include "geometry/index_at.h"

namespace vorlane {

double CrowdedShare(const Polyhedron& model)
{
    // One pass over the triangles keeps what the test needs beside the area,
    // and each vertex's length is taken once.
    struct Seen {
        double area, y, x;
    };
    std::vector<double> lengths(model.vertices.size());
    for (std::size_t v = 0; v < lengths.size(); ++v) lengths[v] = Norm(ToD(model.vertices[v]));
    std::vector<Seen> seen;
    seen.reserve(model.faces.size());
    double total = 0.0;
    for (const Triangle& t : model.faces) {
        const D3 a = ToD(At(model.vertices, t[0])), b = ToD(At(model.vertices, t[1])), c = ToD(At(model.vertices, t[2]));
        const D3 n = Cross(Sub(b, a), Sub(c, a));
        // The solid angle about the centre is 2 atan(y / x) (Van Oosterom
        // and Strackee), below 2 y / x: a triangle that bound puts under
        // its hundredth is crowded, which spares an arctangent each.
        const double la = At(lengths, t[0]), lb = At(lengths, t[1]), lc = At(lengths, t[2]);
        seen.push_back({0.5 * std::sqrt(Dot(n, n)), std::fabs(TripleProduct(a, b, c)),
                        la * lb * lc + Dot(a, b) * lc + Dot(a, c) * lb + Dot(b, c) * la});
        total += seen.back().area;
    }
    if (!(total > 0.0)) return 0.0;
    double crowded = 0.0;
    for (const Seen& s : seen) {
        const double fair = 4.0 * M_PI * 0.01 * s.area / total;
        if (s.x > 0.0 && 2.0 * s.y <= fair * s.x) crowded += s.area;
    }
    return crowded / total;
}

}  // namespace vorlane
