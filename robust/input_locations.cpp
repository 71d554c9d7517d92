// Where each merged vertex lies on each input model, in that model's own
// triangles: the overlay works on the models with arcs split, whose pieces
// lie inside the input's triangles, so every place is taken back there.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "geometry/dvec3.h"
#include "robust/overlay.h"

namespace vorlane {

namespace {

// The point at corner v of triangle t exactly.
SurfaceLocation AtCorner(const Polyhedron& model, int32_t t, int32_t v)
{
    SurfaceLocation at;
    at.triangle = t;
    for (std::size_t i = 0; i < 3; ++i) at.weights[i] = model.faces[static_cast<std::size_t>(t)][i] == v ? 1.0 : 0.0;
    return at;
}

// The corners of input triangle t where its map puts them: its centred
// vertices on a central map, else the walk mesh's directions, as the
// positions are found from them (ray_points.cpp).
void MappedCorners(const Polyhedron& input, const WalkMesh& mesh, int32_t t, D3 (&out)[3])
{
    const Triangle& f = input.faces[static_cast<std::size_t>(t)];
    for (std::size_t i = 0; i < 3; ++i)
        out[i] = ToD(input.map == SphereMap::Central ? input.vertices[static_cast<std::size_t>(f[i])] : mesh.Point(f[i]));
}

// Where the ray along p meets the plane of triangle t, by the volumes the
// ray makes with each side: barycentric weights of a central projection.
// Rounding may put a point on a side a hair outside: such a weight becomes 0.
SurfaceLocation Central(const Polyhedron& input, const WalkMesh& mesh, int32_t t, const D3& p)
{
    D3 corner[3];
    MappedCorners(input, mesh, t, corner);
    const D3& a = corner[0];
    const D3& b = corner[1];
    const D3& c = corner[2];
    double w[3] = {TripleProduct(p, b, c), TripleProduct(p, c, a), TripleProduct(p, a, b)};
    double sum = 0.0;
    for (double& x : w) sum += x = x > 0.0 ? x : 0.0;
    SurfaceLocation at;
    at.triangle = t;
    for (std::size_t i = 0; i < 3; ++i) at.weights[i] = sum > 0.0 ? w[i] / sum : 1.0 / 3.0;
    return at;
}

}  // namespace

SurfaceLocation OwnLocation(const OverlayMeshes& meshes, int side, int32_t v, const D3& p)
{
    const WalkMesh& mesh = side == 0 ? meshes.source : meshes.target;
    const Polyhedron& input = side == 0 ? meshes.sourceModel : meshes.targetModel;
    const int32_t t = meshes.InputTriangle(side, mesh.corner[static_cast<std::size_t>(v)] / 3);
    // A vertex made by a split lies inside an input edge.
    if (static_cast<std::size_t>(v) < input.vertices.size()) return AtCorner(input, t, v);
    return Central(input, mesh, t, p);
}

SurfaceLocation ArcLocation(const OverlayMeshes& meshes, int side, int32_t arc, const D3& p)
{
    const WalkMesh& mesh = side == 0 ? meshes.source : meshes.target;
    const Polyhedron& input = side == 0 ? meshes.sourceModel : meshes.targetModel;
    const IndexPair& e = mesh.arcs[static_cast<std::size_t>(arc)];
    const int32_t t = meshes.InputTriangle(side, mesh.rising[static_cast<std::size_t>(arc)] / 3);
    const std::size_t inputVertices = input.vertices.size();
    // note: splits add arcs only to their new vertices, so an arc between
    // two input vertices is an input edge; its point is found as OnSegment
    // finds the position, and the third corner's weight is exactly 0.
    if (static_cast<std::size_t>(e.from) >= inputVertices || static_cast<std::size_t>(e.to) >= inputVertices) return Central(input, mesh, t, p);
    double along = 0.0;
    if (input.map == SphereMap::Central) {
        const D3 a = ToD(input.vertices[static_cast<std::size_t>(e.from)]);
        const D3 b = ToD(input.vertices[static_cast<std::size_t>(e.to)]);
        const D3 m = Cross(a, b);
        const double s = Dot(Cross(p, a), m) / Dot(Cross(Sub(b, a), p), m);
        along = s > 0.0 ? (s < 1.0 ? s : 1.0) : 0.0;
    } else {
        // The weights of p between the ends' directions, as OnSegmentMapped.
        const D3 a = ToD(mesh.Point(e.from)), b = ToD(mesh.Point(e.to));
        const D3 m = Cross(a, b);
        const double wa = std::max(Dot(Cross(p, b), m), 0.0), wb = std::max(Dot(Cross(a, p), m), 0.0);
        along = wa + wb > 0.0 ? wb / (wa + wb) : 0.5;
    }
    SurfaceLocation at = AtCorner(input, t, e.from);
    const SurfaceLocation to = AtCorner(input, t, e.to);
    for (std::size_t i = 0; i < 3; ++i) at.weights[i] = at.weights[i] * (1.0 - along) + to.weights[i] * along;
    return at;
}

SurfaceLocation LocationOn(const OverlayMeshes& meshes, int side, const Location& where, const D3& p)
{
    switch (where.kind) {
    case Location::AtVertex:
        return OwnLocation(meshes, side, where.index, p);
    case Location::OnArc:
        return ArcLocation(meshes, side, where.index, p);
    case Location::Inside:
        break;
    }
    return Central(side == 0 ? meshes.sourceModel : meshes.targetModel, side == 0 ? meshes.source : meshes.target,
                   meshes.InputTriangle(side, where.index), p);
}

}  // namespace vorlane
