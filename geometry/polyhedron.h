// One closed triangulated model, and the build procedure shared by every model.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "geometry/vec3.h"

namespace vorlane {

// An edge as two vertex indices; stored edge arrays hold from < to, ascending.
struct IndexPair {
    int32_t from = 0;
    int32_t to = 0;
};
inline bool operator==(const IndexPair& a, const IndexPair& b) { return a.from == b.from && a.to == b.to; }
inline bool operator!=(const IndexPair& a, const IndexPair& b) { return !(a == b); }
inline bool operator<(const IndexPair& a, const IndexPair& b)
{
    return a.from < b.from || (a.from == b.from && a.to < b.to);
}

using Triangle = std::array<int32_t, 3>;

// How a model's points on the common sphere were made.
enum class SphereMap : uint8_t {
    Central,    // each vertex seen from the centre: the mesh is star-shaped
    Spherical,  // an embedding of the surface, for meshes no point sees whole
};

// A closed triangulated model about its centre.
struct Polyhedron {
    Vec3 centre;                     // in table coordinates
    std::vector<Vec3> vertices;      // table position minus centre
    std::vector<Vec3> spherePoints;  // vertices projected onto the common sphere
    std::vector<Triangle> faces;     // counter-clockwise seen from outside
    std::vector<IndexPair> edges;    // distinct edges, from < to, ascending
    // Central: the robust merge takes the centred vertices as directions and
    // finds surface points along rays. Spherical: spherePoints hold the
    // embedding, and a direction's surface point is the same barycentric
    // combination of a triangle's vertices as the direction is of its
    // sphere points.
    SphereMap map = SphereMap::Central;
    // The last patchFaces faces close holes the input had (FillHoles).
    int32_t patchFaces = 0;

    // Counts are the sizes of the tables they count.
    int32_t vertexCount() const { return static_cast<int32_t>(vertices.size()); }
    int32_t faceCount() const { return static_cast<int32_t>(faces.size()); }
    int32_t edgeCount() const { return static_cast<int32_t>(edges.size()); }
};

// A model's own tables, in table coordinates.
struct ModelTable {
    std::vector<Vec3> vertices;
    std::vector<Triangle> triangles;
    // The last patchTriangles triangles close holes the input had.
    int32_t patchTriangles = 0;
};

// Builds a model about centre: vertices relative to it, their sphere points,
// the triangles as given (their patch count too) and every distinct edge once, ascending. A vertex at
// the centre itself gets the zero vector as its sphere point; a triangle's
// repeated corner makes no edge.
Polyhedron BuildPolyhedron(const ModelTable& table, const Vec3& centre);

}  // namespace vorlane
