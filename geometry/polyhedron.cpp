#include "geometry/polyhedron.h"

#include <algorithm>
#include <cstddef>
#include <utility>

#include "geometry/by_vertex.h"

namespace vorlane {

Polyhedron BuildPolyhedron(const ModelTable& table, const Vec3& centre)
{
    Polyhedron model;
    model.vertices.resize(table.vertices.size());
    model.spherePoints.resize(table.vertices.size());  // zero where a vertex sits on the centre
    for (std::size_t i = 0; i < table.vertices.size(); ++i) {
        const Vec3& p = table.vertices[i];
        model.vertices[i] = {p.x - centre.x, p.y - centre.y, p.z - centre.z};
        ProjectToSphere(model.vertices[i], model.spherePoints[i]);
    }
    model.faces = table.triangles;
    model.patchFaces = table.patchTriangles;
    // Each side filed under its lower end comes out sorted and without
    // repeats, as one sort of all sides would leave it, in a pass over them.
    ByVertex<int32_t> higherEnds(table.vertices.size(), [&](auto visit) {
        for (const Triangle& t : table.triangles) {
            for (const auto& [a, b] : {std::pair{t[0], t[1]}, std::pair{t[0], t[2]}, std::pair{t[1], t[2]}}) {
                if (a != b) visit(static_cast<std::size_t>(std::min(a, b)), std::max(a, b));
            }
        }
    });
    higherEnds.Unique();
    model.edges.reserve(higherEnds.items.size());
    for (std::size_t v = 0; v < table.vertices.size(); ++v) {
        for (std::size_t k = higherEnds.first[v]; k < higherEnds.first[v + 1]; ++k)
            model.edges.push_back({static_cast<int32_t>(v), higherEnds.items[k]});
    }
    model.centre = centre;
    return model;
}

}  // namespace vorlane
