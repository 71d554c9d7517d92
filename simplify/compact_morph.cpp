#include "simplify/compact_morph.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

#include "geometry/dvec3.h"
#include "geometry/index_at.h"
#include "prepare/nearest_surface.h"

namespace vorlane {
namespace {

// The input in table coordinates, as the morph's positions are.
std::vector<D3> TablePoints(const Polyhedron& model)
{
    std::vector<D3> points;
    points.reserve(model.vertices.size());
    for (const Vec3& v : model.vertices) points.push_back(ToD(model.centre) + ToD(v));
    return points;
}

double Diagonal(const std::vector<D3>& points)
{
    if (points.empty()) return 0.0;
    D3 lo = points.front(), hi = lo;
    for (const D3& p : points) {
        lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
        hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
    }
    return Norm(hi - lo);
}

D3 PointAt(const std::vector<D3>& points, const Polyhedron& model, const SurfaceLocation& at)
{
    const Triangle& t = At(model.faces, at.triangle);
    return at.weights[0] * At(points, t[0]) + at.weights[1] * At(points, t[1]) + at.weights[2] * At(points, t[2]);
}

// New locations over the kept vertices (old numbers in kept) at one end,
// and the largest distance of one from the input over its diagonal.
double Relocate(const std::vector<Vec3>& positions, const Polyhedron& model, const std::vector<SurfaceLocation>& old,
                const std::vector<int32_t>& source, const std::vector<int32_t>& kept, std::vector<SurfaceLocation>& located)
{
    const std::vector<D3> points = TablePoints(model);
    located.assign(kept.size(), {});
    bool moved = false;
    for (const int32_t v : kept) moved = moved || At(source, v) < 0;
    // note: the search grid is built only where some vertex left the input.
    std::optional<NearestSurface> nearest;
    if (moved) nearest.emplace(points, model.faces);
    double worst = 0.0;
    for (std::size_t i = 0; i < kept.size(); ++i) {
        const int32_t v = kept[i];
        const D3 p = ToD(At(positions, v));
        if (At(source, v) >= 0) {
            located[i] = At(old, At(source, v));
        } else {
            const SurfacePoint hit = nearest->Nearest(p);
            located[i].triangle = hit.triangle;
            std::copy(hit.weights, hit.weights + 3, located[i].weights);
        }
        if (located[i].triangle >= 0) worst = std::max(worst, Norm(p - PointAt(points, model, located[i])));
    }
    const double diagonal = Diagonal(points);
    return diagonal > 0.0 ? worst / diagonal : 0.0;
}

}  // namespace

void CompactMorph(MorphMesh& mesh, const CollapseMesh& net, const LocationSources& sources, SimplifyReport& report)
{
    const std::size_t count = mesh.startPositions.size();
    std::vector<int32_t> renumbered(count, -1);
    for (std::size_t t = 0; t < net.triangles.size(); ++t) {
        if (!net.live[t]) continue;
        for (const int32_t corner : net.triangles[t]) At(renumbered, corner) = 0;
    }
    std::vector<int32_t> kept;
    const auto firstCrossing = static_cast<int32_t>(count) - mesh.crossingCount;
    int32_t crossings = 0;
    for (std::size_t v = 0; v < count; ++v) {
        if (renumbered[v] < 0) continue;
        renumbered[v] = static_cast<int32_t>(kept.size());
        kept.push_back(static_cast<int32_t>(v));
        crossings += static_cast<int32_t>(v) >= firstCrossing;
    }

    const bool located = mesh.source && mesh.target && mesh.startLocations.size() == count && mesh.endLocations.size() == count;
    if (located) {
        std::vector<SurfaceLocation> start, end;
        report.startDistance = Relocate(mesh.startPositions, *mesh.source, mesh.startLocations, sources.of[0], kept, start);
        report.endDistance = Relocate(mesh.endPositions, *mesh.target, mesh.endLocations, sources.of[1], kept, end);
        mesh.startLocations = std::move(start);
        mesh.endLocations = std::move(end);
    } else {
        mesh.startLocations.clear();
        mesh.endLocations.clear();
    }
    for (std::vector<Vec3>* positions : {&mesh.startPositions, &mesh.endPositions}) {
        std::vector<Vec3> compact;
        compact.reserve(kept.size());
        for (const int32_t v : kept) compact.push_back(At(*positions, v));
        *positions = std::move(compact);
    }
    mesh.crossingCount = crossings;

    mesh.faces.clear();
    mesh.edges.clear();
    for (std::size_t t = 0; t < net.triangles.size(); ++t) {
        if (!net.live[t]) continue;
        const Triangle& c = net.triangles[t];
        const int32_t a = At(renumbered, c[0]), b = At(renumbered, c[1]), d = At(renumbered, c[2]);
        mesh.faces.push_back({3, FaceIndices(a, b, d)});
        // Each edge of a closed mesh runs low to high in exactly one of its triangles.
        for (const auto& [from, to] : {std::pair{a, b}, std::pair{b, d}, std::pair{d, a}})
            if (from < to) mesh.edges.push_back({from, to});
    }
    std::sort(mesh.edges.begin(), mesh.edges.end());
    report.trianglesAfter = static_cast<int64_t>(mesh.faces.size());
}

}  // namespace vorlane
