#include "bench/morph_surface.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "geometry/model_catalogue.h"
#include "io/mesh_reader.h"

namespace vorlane::bench {

bool LoadSurface(const std::string& argument, Surface& surface)
{
    std::vector<Vec3> points;
    if (const vorlane::CatalogueEntry* entry = vorlane::FindCatalogueModel(argument)) {
        const vorlane::Polyhedron model = entry->build(Vec3{});
        for (const Vec3& v : model.vertices) points.push_back(vorlane::Add(v, model.centre));
        surface.triangles = model.faces;
    } else {
        vorlane::MeshReadResult read = vorlane::ReadMeshFile(argument);
        if (!read.error.empty()) {
            std::fprintf(stderr, "%s\n", read.error.c_str());
            return false;
        }
        points = std::move(read.table.vertices);
        surface.triangles = std::move(read.table.triangles);
    }
    for (const Vec3& v : points) surface.points.push_back(ToP(v));
    return true;
}

// By the Voronoi regions of the corners and sides.
P3 ClosestOnTriangle(const P3& p, const P3& a, const P3& b, const P3& c)
{
    const P3 ab = b - a, ac = c - a, ap = p - a;
    const double d1 = Dot(ab, ap), d2 = Dot(ac, ap);
    if (d1 <= 0.0 && d2 <= 0.0) return a;
    const P3 bp = p - b;
    const double d3 = Dot(ab, bp), d4 = Dot(ac, bp);
    if (d3 >= 0.0 && d4 <= d3) return b;
    const double vc = d1 * d4 - d3 * d2;
    if (vc <= 0.0 && d1 >= 0.0 && d3 <= 0.0) return a + (d1 / (d1 - d3)) * ab;
    const P3 cp = p - c;
    const double d5 = Dot(ab, cp), d6 = Dot(ac, cp);
    if (d6 >= 0.0 && d5 <= d6) return c;
    const double vb = d5 * d2 - d1 * d6;
    if (vb <= 0.0 && d2 >= 0.0 && d6 <= 0.0) return a + (d2 / (d2 - d6)) * ac;
    const double va = d3 * d6 - d5 * d4;
    if (va <= 0.0 && d4 - d3 >= 0.0 && d5 - d6 >= 0.0) return b + ((d4 - d3) / ((d4 - d3) + (d5 - d6))) * (c - b);
    const double sum = va + vb + vc;
    if (!(sum > 0.0)) {
        // note: collinear corners; the nearest of the three sides then.
        P3 best = a;
        double bestDistance = HUGE_VAL;
        const P3 ends[3][2] = {{a, b}, {b, c}, {c, a}};
        for (const auto& side : ends) {
            const P3 d = side[1] - side[0];
            const double length = Dot(d, d);
            const double t = length > 0.0 ? std::clamp(Dot(p - side[0], d) / length, 0.0, 1.0) : 0.0;
            const P3 q = side[0] + t * d;
            if (Dot(p - q, p - q) < bestDistance) bestDistance = Dot(p - q, p - q), best = q;
        }
        return best;
    }
    return a + (vb / sum) * ab + (vc / sum) * ac;
}

}  // namespace vorlane::bench
