#include "robust/float_range.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <sstream>

namespace vorlane {
namespace {

bool Finite(const Vec3& v)
{
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

std::string Point(const Vec3& v)
{
    std::ostringstream out;
    out.precision(9);
    out << "(" << v.x << ", " << v.y << ", " << v.z << ")";
    return out.str();
}

std::string VertexName(size_t v, const Vec3& p)
{
    return "vertex " + std::to_string(v) + " " + Point(p);
}

}  // namespace

std::string CheckFiniteTable(const ModelTable& table)
{
    for (size_t v = 0; v < table.vertices.size(); ++v) {
        if (!Finite(table.vertices[v])) return VertexName(v, table.vertices[v]) + " is not a finite number";
    }
    return {};
}

std::string CheckFloatRange(const Polyhedron& model)
{
    const Vec3& c = model.centre;
    if (!Finite(c)) return "the centre " + Point(c) + " is not a finite number";
    // Positions on the surface lie within the box of the centred vertices,
    // and the merge adds the centre back to them in float: rounding is
    // monotone, so the box's corners bound every sum.
    float low[3] = {0.0f, 0.0f, 0.0f}, high[3] = {0.0f, 0.0f, 0.0f};
    for (size_t v = 0; v < model.vertices.size(); ++v) {
        const Vec3& p = model.vertices[v];
        const double length = std::sqrt(static_cast<double>(p.x) * p.x + static_cast<double>(p.y) * p.y + static_cast<double>(p.z) * p.z);
        if (!Finite(p) || !std::isfinite(static_cast<float>(length))) {
            return "vertex " + std::to_string(v) + " lies too far from the centre " + Point(c) +
                   " for float precision: its offset or distance from it overflows";
        }
        const float q[3] = {p.x, p.y, p.z};
        for (int i = 0; i < 3; ++i) {
            low[i] = std::min(low[i], q[i]);
            high[i] = std::max(high[i], q[i]);
        }
    }
    const float centre[3] = {c.x, c.y, c.z};
    for (int i = 0; i < 3; ++i) {
        if (!std::isfinite(low[i] + centre[i]) || !std::isfinite(high[i] + centre[i])) {
            return "the mesh reaches too far from the centre " + Point(c) + " for float precision: positions about it overflow";
        }
    }
    return {};
}

}  // namespace vorlane
