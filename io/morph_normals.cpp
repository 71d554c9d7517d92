#include "io/morph_normals.h"

#include <cmath>

#include "geometry/dvec3.h"

namespace vorlane {

namespace {

Vec3 Unit(double x, double y, double z)
{
    const double length = std::sqrt(x * x + y * y + z * z);
    // note: viewers and validators want unit normals, even where the
    // faces around a vertex cancel.
    return length > 0.0 && std::isfinite(length)
               ? Vec3{static_cast<float>(x / length), static_cast<float>(y / length), static_cast<float>(z / length)}
               : Vec3{0.0f, 0.0f, 1.0f};
}

std::size_t Source(const std::vector<int32_t>& vertex, std::size_t i)
{
    return vertex.empty() ? i : static_cast<std::size_t>(vertex[i]);
}

}  // namespace

std::vector<Vec3> AreaWeightedNormals(const std::vector<Vec3>& positions, const std::vector<int32_t>& vertex, std::size_t count,
                                      const std::vector<uint32_t>& corners)
{
    std::vector<double> sum(count * 3, 0.0);
    for (std::size_t t = 0; t + 2 < corners.size(); t += 3) {
        const Vec3& p = positions[Source(vertex, corners[t])];
        const Vec3& q = positions[Source(vertex, corners[t + 1])];
        const Vec3& r = positions[Source(vertex, corners[t + 2])];
        const double ux = static_cast<double>(q.x) - p.x, uy = static_cast<double>(q.y) - p.y, uz = static_cast<double>(q.z) - p.z;
        const double wx = static_cast<double>(r.x) - p.x, wy = static_cast<double>(r.y) - p.y, wz = static_cast<double>(r.z) - p.z;
        const double n[3] = {uy * wz - uz * wy, uz * wx - ux * wz, ux * wy - uy * wx};
        for (std::size_t k = 0; k < 3; ++k) {
            double* s = &sum[static_cast<std::size_t>(corners[t + k]) * 3];
            for (int i = 0; i < 3; ++i) s[i] += n[i];
        }
    }
    std::vector<Vec3> normals(count);
    for (std::size_t v = 0; v < count; ++v) normals[v] = Unit(sum[v * 3], sum[v * 3 + 1], sum[v * 3 + 2]);
    return normals;
}

SurfaceNormals::SurfaceNormals(const Polyhedron& model) : model_(model), around_(model.vertices.size() * 3, 0.0)
{
    // Angle-weighted: a vertex's normal does not lean towards the side
    // that happens to be cut into more triangles.
    for (const Triangle& t : model.faces) {
        const D3 p[3] = {ToD(model.vertices[static_cast<std::size_t>(t[0])]), ToD(model.vertices[static_cast<std::size_t>(t[1])]),
                         ToD(model.vertices[static_cast<std::size_t>(t[2])])};
        const D3 n = Cross(Sub(p[1], p[0]), Sub(p[2], p[0]));
        const double length = std::sqrt(Dot(n, n));
        if (!(length > 0.0)) continue;
        for (int i = 0; i < 3; ++i) {
            const D3 u = Sub(p[(i + 1) % 3], p[i]);
            const D3 w = Sub(p[(i + 2) % 3], p[i]);
            const D3 c = Cross(u, w);
            const double angle = std::atan2(std::sqrt(Dot(c, c)), Dot(u, w));
            double* s = &around_[static_cast<std::size_t>(t[static_cast<std::size_t>(i)]) * 3];
            s[0] += n.x / length * angle;
            s[1] += n.y / length * angle;
            s[2] += n.z / length * angle;
        }
    }
}

Vec3 SurfaceNormals::At(const SurfaceLocation& at) const
{
    double x = 0.0, y = 0.0, z = 0.0;
    if (at.triangle >= 0) {
        const Triangle& t = model_.faces[static_cast<std::size_t>(at.triangle)];
        for (std::size_t k = 0; k < 3; ++k) {
            const double* n = &around_[static_cast<std::size_t>(t[k]) * 3];
            x += at.weights[k] * n[0];
            y += at.weights[k] * n[1];
            z += at.weights[k] * n[2];
        }
    }
    return Unit(x, y, z);
}

std::vector<Vec3> InputSurfaceNormals(const Polyhedron& model, const std::vector<SurfaceLocation>& locations, const std::vector<int32_t>& vertex,
                                      std::size_t count)
{
    const SurfaceNormals normals(model);
    std::vector<Vec3> out(count);
    for (std::size_t i = 0; i < count; ++i) out[i] = normals.At(locations[Source(vertex, i)]);
    return out;
}

}  // namespace vorlane
