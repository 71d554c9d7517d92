#include "geometry/polyhedron.h"

#include <algorithm>
#include <cstddef>
#include <utility>

namespace vorlane {

Polyhedron BuildPolyhedron(const ModelTable& table, const Vec3& centre)
{
    Polyhedron model;
    model.vertexCount = static_cast<int32_t>(table.vertices.size());
    model.faceCount = static_cast<int32_t>(table.triangles.size());
    model.vertices.resize(table.vertices.size());
    model.spherePoints.resize(table.vertices.size());  // zero where a vertex sits on the centre
    for (std::size_t i = 0; i < table.vertices.size(); ++i) {
        const Vec3& p = table.vertices[i];
        model.vertices[i] = {p.x - centre.x, p.y - centre.y, p.z - centre.z};
        ProjectToSphere(model.vertices[i], model.spherePoints[i]);
    }
    model.faces = table.triangles;
    model.edges.reserve(table.triangles.size() * 3);
    for (const Triangle& t : table.triangles) {
        for (const auto& [a, b] : {std::pair{t[0], t[1]}, std::pair{t[0], t[2]}, std::pair{t[1], t[2]}}) {
            if (a != b) model.edges.push_back({std::min(a, b), std::max(a, b)});
        }
    }
    std::sort(model.edges.begin(), model.edges.end());
    model.edges.erase(std::unique(model.edges.begin(), model.edges.end()), model.edges.end());
    model.edgeCount = static_cast<int32_t>(model.edges.size());
    model.centre = centre;
    return model;
}

}  // namespace vorlane
