#include "io/orient_outward.h"

#include <cstddef>
#include <utility>

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
        const double ax = p.x - static_cast<double>(o.x), ay = p.y - static_cast<double>(o.y),
                     az = p.z - static_cast<double>(o.z);
        const double bx = q.x - static_cast<double>(o.x), by = q.y - static_cast<double>(o.y),
                     bz = q.z - static_cast<double>(o.z);
        const double cx = r.x - static_cast<double>(o.x), cy = r.y - static_cast<double>(o.y),
                     cz = r.z - static_cast<double>(o.z);
        volume += ax * (by * cz - bz * cy) - ay * (bx * cz - bz * cx) + az * (bx * cy - by * cx);
    }
    if (!(volume < 0.0)) return false;
    for (Triangle& t : table.triangles) std::swap(t[1], t[2]);
    return true;
}

}  // namespace vorlane
