#include "geometry/polyhedron.h"

#include <cstddef>

#include "morph/edge_list.h"

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
    for (const Triangle& t : table.triangles) {
        InsertList(IndexPair{t[0], t[1]}, -1);
        InsertList(IndexPair{t[0], t[2]}, -1);
        InsertList(IndexPair{t[1], t[2]}, -1);
    }
    model.edgeCount = CountList();
    model.edges.resize(static_cast<std::size_t>(model.edgeCount));
    CopyList(model.edges.data());
    model.centre = centre;
    return model;
}

}  // namespace vorlane
