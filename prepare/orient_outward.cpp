#include "prepare/orient_outward.h"

#include <cstddef>
#include <utility>

#include "geometry/dvec3.h"

namespace vorlane {

bool OrientOutward(ModelTable& table)
{
    if (table.vertices.empty()) return false;
    // note: about the first vertex, which keeps the products small.
    const Vec3& o = table.vertices.front();
    double volume = 0.0;
    for (const Triangle& t : table.triangles) {
        const Vec3& p = table.vertices[static_cast<std::size_t>(t[0])];
        const Vec3& q = table.vertices[static_cast<std::size_t>(t[1])];
        const Vec3& r = table.vertices[static_cast<std::size_t>(t[2])];
        volume += TripleProduct(Sub(ToD(p), ToD(o)), Sub(ToD(q), ToD(o)), Sub(ToD(r), ToD(o)));
    }
    if (!(volume < 0.0)) return false;
    for (Triangle& t : table.triangles) std::swap(t[1], t[2]);
    return true;
}

}  // namespace vorlane
