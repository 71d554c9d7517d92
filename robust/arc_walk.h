// Walks along the great-circle arcs of one closed mesh across the triangles
// of another. Every step is an exact sign, and a walk reads only triangles
// next to each other: the overlay's crossings come out in order along each
// arc, and every vertex finds its place on the other mesh from a
// neighbour's, without an index over either.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/huge_pages.h"
#include "geometry/dvec3.h"
#include "geometry/polyhedron.h"
#include "geometry/vec3.h"

namespace vorlane {

// A closed, consistently oriented mesh as the walks see it. Its directions
// are its centred vertices (central map) or its sphere points (spherical
// map) unless a caller points them elsewhere.
// note: not a TriangleConnectivity. Its sides are numbered the same way,
// but it reads the model's faces in place instead of copying them, and it
// pairs sides through the arc table every step needs anyway, in one pass
// with no sort (a checked map holds each edge once each way). Measured on
// 1.3 million triangles, a connectivity alone takes twice as long to build
// as this whole record, and a run builds two.
struct WalkMesh {
    const Polyhedron* model = nullptr;
    const std::vector<Vec3>* directions = nullptr;
    std::vector<IndexPair> arcs;    // every edge once, from < to, ascending
    std::vector<int32_t> arcStart;  // by vertex: its first arc as from; one more at the end
    // By side 3 t + i, from corner i to corner i + 1 of triangle t: the same
    // edge's side in the triangle across it, and the edge's arc.
    std::vector<int32_t> across;
    std::vector<int32_t> sideArc;
    std::vector<int32_t> rising;  // by arc: its side that runs from -> to
    std::vector<int32_t> corner;  // by vertex: a side that starts there, or -1
    // By vertex of more than FanSearchDegree triangles: the sides that start
    // there, counter-clockwise, fan[fanStart[v]] up to fan[fanStart[v + 1]];
    // an empty range for the others, and both empty when no vertex is so
    // wide. Walks find their way out of these by angle.
    std::vector<int32_t> fanStart;
    std::vector<int32_t> fan;

    const Vec3& Point(int32_t v) const { return (*directions)[static_cast<size_t>(v)]; }
    // Where vertex v lies on the surface, centred.
    const Vec3& Surface(int32_t v) const { return model->vertices[static_cast<size_t>(v)]; }
    // The corner a side starts at, and the side after it in its triangle.
    int32_t Corner(int32_t side) const { return model->faces[static_cast<size_t>(side / 3)][static_cast<size_t>(side % 3)]; }
    static int32_t After(int32_t side, int32_t step) { return side / 3 * 3 + (side + step) % 3; }
    // The arc between two vertices, or -1 when no edge joins them.
    int32_t ArcIndex(int32_t u, int32_t v) const;
    // The surface point in direction p on the edge u v, or in triangle t:
    // on the ray along p for a central map, else by the barycentric weights
    // p has among the ends' (corners') directions (ray_points.cpp).
    Vec3 SurfaceOnEdge(int32_t u, int32_t v, const D3& p) const;
    Vec3 SurfaceInTriangle(int32_t t, const Vec3& p) const;
    // Once every walk is done, the tables only walks read are given back.
    void EndWalks()
    {
        Release(across);
        Release(sideArc);
        Release(fanStart);
        Release(fan);
    }
};

// Round a vertex of fewer triangles a walk steps one triangle at a time;
// round more, it searches the sides in order by angle.
constexpr int32_t FanSearchDegree = 24;

// The model must be one ValidateSphereCover accepts, or a split of one.
WalkMesh MakeWalkMesh(const Polyhedron& model);

// Where a direction falls on a mesh: inside a triangle, inside an arc, or
// at a vertex. An index of -1 is a place not yet found.
struct Location {
    enum Kind : uint8_t { Inside, OnArc, AtVertex };
    Location() = default;
    Location(Kind k, int32_t i, int8_t n = -1) : kind(k), near(n), index(i) {}

    Kind kind = Inside;
    // Inside: the side of the triangle (0 to 2) nearest the direction if it
    // lies within NearAngle of that side's great circle, else -1.
    int8_t near = -1;
    int32_t index = -1;  // triangle, arc or vertex of the mesh
};

// Seen from the centre, closer than this (in radians) a direction and a
// great circle differ by little more than the rounding of float directions.
constexpr double NearAngle = 2e-7;

// Where direction p falls on triangle t of mesh, if t's closure holds it.
bool LocateIn(const WalkMesh& mesh, int32_t t, const Vec3& p, Location& where);

// Walks the arc from direction a, which lies at start on over, to direction
// b (less than a half turn on). Where b lies is taken from end, or found
// and stored there when end.index is -1. Appends to met, in order along the
// arc, each side of over the arc crosses inside both (as its index) and
// each vertex of over it passes through inside itself (as ~vertex).
void WalkArc(const WalkMesh& over, const Vec3& a, const Vec3& b, const Location& start, Location& end, std::vector<int32_t>& met);

// The place on over of every vertex of from that used marks, by walks
// along from's arcs out of one vertex placed by looking at every triangle.
std::vector<Location> LocateVertices(const WalkMesh& from, const std::vector<bool>& used, const WalkMesh& over);

// The same for the vertices that used marks and where does not place yet
// (index -1), walking from those it does.
void CompleteLocations(const WalkMesh& from, const std::vector<bool>& used, const WalkMesh& over, std::vector<Location>& where);

}  // namespace vorlane
