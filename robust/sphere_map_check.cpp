#include "robust/sphere_map_check.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <numeric>
#include <string>
#include <utility>
#include <vector>

#include "base/huge_pages.h"
#include "geometry/dvec3.h"
#include "geometry/exact_predicates.h"
#include "robust/float_range.h"
#include "robust/sphere_grid.h"

namespace vorlane {
namespace {

std::string EdgeName(int32_t u, int32_t v)
{
    return "edge (" + std::to_string(u) + ", " + std::to_string(v) + ")";
}

std::string TriangleName(size_t t)
{
    return "triangle " + std::to_string(t);
}

bool InsideOrOn(const Polyhedron& model, const Triangle& t, const Vec3& p)
{
    const Vec3& a = model.vertices[static_cast<size_t>(t[0])];
    const Vec3& b = model.vertices[static_cast<size_t>(t[1])];
    const Vec3& c = model.vertices[static_cast<size_t>(t[2])];
    return Orient3(a, b, p) >= 0 && Orient3(b, c, p) >= 0 && Orient3(c, a, p) >= 0;
}

// The surface wraps its centre more than once: name two triangles that
// cover one direction.
std::string FindOverlap(const Polyhedron& model)
{
    const SphereGrid grid(model.faces.size());
    std::vector<CellEntry> entries;
    for (size_t t = 0; t < model.faces.size(); ++t) {
        const Triangle& f = model.faces[t];
        grid.Insert(grid.TriangleBox(model.vertices[static_cast<size_t>(f[0])], model.vertices[static_cast<size_t>(f[1])],
                                     model.vertices[static_cast<size_t>(f[2])]),
                    static_cast<uint32_t>(t), entries);
    }
    SortEntries(entries, grid);
    for (size_t t = 0; t < model.faces.size(); ++t) {
        const Triangle& f = model.faces[t];
        const Vec3& a = model.vertices[static_cast<size_t>(f[0])];
        const Vec3& b = model.vertices[static_cast<size_t>(f[1])];
        const Vec3& c = model.vertices[static_cast<size_t>(f[2])];
        const Vec3 centroid{(a.x + b.x + c.x) / 3.0f, (a.y + b.y + c.y) / 3.0f, (a.z + b.z + c.z) / 3.0f};
        const uint32_t key = grid.CellOf(centroid);
        for (size_t e = FirstEntryOf(entries, key); e < entries.size() && CellKeyOf(entries[e]) == key; ++e) {
            const uint32_t other = ItemOf(entries[e]);
            if (other != t && InsideOrOn(model, model.faces[other], centroid)) {
                return TriangleName(t) + " and " + TriangleName(other) + " overlap as seen from the centre";
            }
        }
    }
    return "the surface wraps around its centre more than once";
}

// The first triangle seen edge-on or from behind from the centre, or the
// number of triangles where none is.
size_t FirstNotFacing(const Polyhedron& model)
{
    for (size_t t = 0; t < model.faces.size(); ++t) {
        const Triangle& f = model.faces[t];
        if (Orient3(model.vertices[static_cast<size_t>(f[0])], model.vertices[static_cast<size_t>(f[1])],
                    model.vertices[static_cast<size_t>(f[2])]) <= 0)
            return t;
    }
    return model.faces.size();
}

// A positive triangle that holds p (no side's sign negative) has p as a
// combination of its corners with no weight negative, so it has corners on
// both sides of (or on) every plane through p. Each vertex gets a bit for
// the side of each of two such planes it lies strictly on: a triangle whose
// corners' bits meet cannot hold p, and only the few about p or its
// opposite are left.
std::vector<uint8_t> PlaneSides(const Polyhedron& model, const Vec3& p)
{
    // note: the planes' normals (p.y, -p.x, 0) and (p.z, 0, -p.x) are
    // exactly perpendicular to p; a difference of two products of floats
    // has in double the sign of the exact one.
    const double px = p.x, py = p.y, pz = p.z;
    std::vector<uint8_t> sides(model.vertices.size());
    for (size_t v = 0; v < sides.size(); ++v) {
        const double x = model.vertices[v].x, y = model.vertices[v].y, z = model.vertices[v].z;
        const double across = py * x - px * y, along = pz * x - px * z;
        sides[v] = static_cast<uint8_t>((across < 0 ? 1 : 0) | (across > 0 ? 2 : 0) | (along < 0 ? 4 : 0) | (along > 0 ? 8 : 0));
    }
    return sides;
}

// How many times a closed surface of positive triangles covers the sphere:
// how many triangles hold a direction on none of their sides, found by exact
// signs (the total solid angle over 4 pi, without an arctangent each).
int64_t CoverCount(const Polyhedron& model)
{
    // Directions in no pattern a mesh is built on; one on a side of a
    // triangle holding it is passed for the next. Each has x != 0, so the
    // two planes through it are distinct.
    static const Vec3 probes[] = {{0.2913f, -0.8137f, 0.5029f}, {-0.6571f, 0.1732f, -0.7336f}, {0.5147f, 0.6932f, -0.5043f},
                                  {-0.1094f, -0.3821f, -0.9176f}, {0.8423f, -0.2139f, 0.4947f}, {-0.4471f, 0.8519f, 0.2723f}};
    for (const Vec3& p : probes) {
        const std::vector<uint8_t> sides = PlaneSides(model, p);
        int64_t holding = 0;
        bool onSide = false;
        for (const Triangle& f : model.faces) {
            if (sides[static_cast<size_t>(f[0])] & sides[static_cast<size_t>(f[1])] & sides[static_cast<size_t>(f[2])]) continue;
            const Vec3& a = model.vertices[static_cast<size_t>(f[0])];
            const Vec3& b = model.vertices[static_cast<size_t>(f[1])];
            const Vec3& c = model.vertices[static_cast<size_t>(f[2])];
            const int first = Orient3(a, b, p);
            if (first < 0) continue;
            const int second = Orient3(b, c, p);
            if (second < 0) continue;
            const int third = Orient3(c, a, p);
            if (third < 0) continue;
            if (first == 0 || second == 0 || third == 0) {
                onSide = true;
                break;
            }
            ++holding;
        }
        if (!onSide) return holding;
    }
    double total = 0.0;
    for (const Triangle& f : model.faces) {
        total += SolidAngle(ToD(model.vertices[static_cast<size_t>(f[0])]), ToD(model.vertices[static_cast<size_t>(f[1])]),
                            ToD(model.vertices[static_cast<size_t>(f[2])]));
    }
    return std::lround(total / (4.0 * M_PI));
}

// The first edge that is not in exactly two triangles running it opposite
// ways, named; empty where there is none. Corners in range and distinct.
std::string FirstEdgeFault(const Polyhedron& model)
{
    const int32_t vertexCount = static_cast<int32_t>(model.vertices.size());
    // The sides of all triangles grouped by their lower end.
    struct Side {
        int32_t high;
        bool forward;  // runs low -> high in its triangle
        uint32_t triangle;
    };
    std::vector<uint32_t> first(static_cast<size_t>(vertexCount) + 1, 0);
    for (const Triangle& f : model.faces) {
        for (int i = 0; i < 3; ++i) ++first[static_cast<size_t>(std::min(f[static_cast<size_t>(i)], f[static_cast<size_t>((i + 1) % 3)])) + 1];
    }
    std::partial_sum(first.begin(), first.end(), first.begin());
    std::vector<Side> sides;
    ReserveHuge(sides, model.faces.size() * 3);
    sides.resize(model.faces.size() * 3);
    {
        std::vector<uint32_t> fill(first.begin(), first.end() - 1);
        for (size_t t = 0; t < model.faces.size(); ++t) {
            const Triangle& f = model.faces[t];
            for (int i = 0; i < 3; ++i) {
                const int32_t u = f[static_cast<size_t>(i)], v = f[static_cast<size_t>((i + 1) % 3)];
                sides[fill[static_cast<size_t>(std::min(u, v))]++] = {std::max(u, v), u < v, static_cast<uint32_t>(t)};
            }
        }
    }
    size_t worstTriangle = model.faces.size();
    std::string worst;
    for (int32_t low = 0; low < vertexCount; ++low) {
        const auto begin = sides.begin() + first[static_cast<size_t>(low)];
        const auto end = sides.begin() + first[static_cast<size_t>(low) + 1];
        // A vertex has a few sides: insertion beats a general sort's setup.
        auto before = [](const Side& a, const Side& b) { return a.high != b.high ? a.high < b.high : a.triangle < b.triangle; };
        if (end - begin > 32) {
            // A vertex of many triangles: the sides are distinct, so any sort agrees.
            std::sort(begin, end, before);
        } else {
            for (auto i = begin + (begin != end); i < end; ++i) {
                for (auto j = i; j != begin && before(*j, *(j - 1)); --j) std::iter_swap(j, j - 1);
            }
        }
        for (auto i = begin; i != end;) {
            auto j = i;
            while (j != end && j->high == i->high) ++j;
            const size_t count = static_cast<size_t>(j - i);
            std::string problem;
            if (count != 2) {
                problem = "it is not closed: " + EdgeName(low, i->high) + " of " + TriangleName(i->triangle) + " is in " +
                          std::to_string(count) + (count == 1 ? " triangle" : " triangles");
            } else if (i->forward == (i + 1)->forward) {
                problem = "it is not consistently oriented: " + TriangleName((i + 1)->triangle) + " runs " + EdgeName(low, i->high) +
                          " the same way as " + TriangleName(i->triangle);
            }
            if (!problem.empty() && i->triangle < worstTriangle) {
                worstTriangle = i->triangle;
                worst = problem;
            }
            i = j;
        }
    }
    return worst;
}

// Whether every edge is in exactly two triangles running it opposite ways,
// in linear time and without naming an edge: at each vertex the corners'
// previous vertices are distinct and each is one of their next vertices,
// so that both are the same vertices, each once (each directed side once,
// and its reverse too). Corners in range and distinct.
bool EveryEdgeTwinned(const Polyhedron& model)
{
    const size_t vertexCount = model.vertices.size();
    std::vector<uint32_t> first(vertexCount + 1, 0);
    for (const Triangle& f : model.faces) {
        for (const int32_t v : f) ++first[static_cast<size_t>(v) + 1];
    }
    std::partial_sum(first.begin(), first.end(), first.begin());
    struct Corner {
        int32_t next, previous;
    };
    std::vector<Corner> corners;
    ReserveHuge(corners, model.faces.size() * 3);
    corners.resize(model.faces.size() * 3);
    {
        std::vector<uint32_t> fill(first.begin(), first.end() - 1);
        for (const Triangle& f : model.faces) {
            corners[fill[static_cast<size_t>(f[0])]++] = {f[1], f[2]};
            corners[fill[static_cast<size_t>(f[1])]++] = {f[2], f[0]};
            corners[fill[static_cast<size_t>(f[2])]++] = {f[0], f[1]};
        }
    }
    // note: 2u + 1 marks u's next vertices, 2u + 2 those matched by a
    // previous one; no other vertex's marks take either value.
    std::vector<uint32_t> mark(vertexCount, 0);
    for (size_t u = 0; u < vertexCount; ++u) {
        const uint32_t leaving = 2 * static_cast<uint32_t>(u) + 1, matched = leaving + 1;
        const Corner* const begin = corners.data() + first[u];
        const Corner* const end = corners.data() + first[u + 1];
        for (const Corner* c = begin; c != end; ++c) mark[static_cast<size_t>(c->next)] = leaving;
        for (const Corner* c = begin; c != end; ++c) {
            uint32_t& m = mark[static_cast<size_t>(c->previous)];
            if (m != leaving) return false;
            m = matched;
        }
    }
    return true;
}

}  // namespace

std::string ValidateSphereCover(const Polyhedron& model)
{
    if (model.faces.empty()) return "it has no triangles";
    const int32_t vertexCount = static_cast<int32_t>(model.vertices.size());
    for (size_t t = 0; t < model.faces.size(); ++t) {
        const Triangle& f = model.faces[t];
        for (int32_t v : f) {
            if (v < 0 || v >= vertexCount) return TriangleName(t) + " names vertex " + std::to_string(v) + ", which does not exist";
        }
        if (f[0] == f[1] || f[1] == f[2] || f[0] == f[2]) return TriangleName(t) + " names one vertex twice";
    }

    // note: the linear pass accepts; only where it fails does the grouping
    // look for the fault to name.
    if (!EveryEdgeTwinned(model)) {
        if (std::string fault = FirstEdgeFault(model); !fault.empty()) return fault;
    }

    if (const size_t t = FirstNotFacing(model); t < model.faces.size()) {
        return "it is not star-shaped about its centre: " + TriangleName(t) + " is seen edge-on or from behind";
    }
    // Closed, oriented and facing the centre everywhere: the projection covers
    // the sphere a whole number of times, once for a star-shaped surface.
    if (CoverCount(model) != 1) return "it is not star-shaped about its centre: " + FindOverlap(model);
    return {};
}

bool CoversSphereOnce(const Polyhedron& model)
{
    return !model.faces.empty() && FirstNotFacing(model) == model.faces.size() && CoverCount(model) == 1;
}

std::string CheckSphereMap(const Polyhedron& model, const std::string& role, const Progress& progress)
{
    if (progress) progress("validating", 0.0);
    std::string problem = CheckFloatRange(model);
    if (problem.empty() && model.map == SphereMap::Central) {
        problem = ValidateSphereCover(model);
    } else if (problem.empty()) {
        Polyhedron onSphere;
        onSphere.vertices = model.spherePoints;
        onSphere.faces = model.faces;
        problem = ValidateSphereCover(onSphere);
    }
    return problem.empty() ? problem : role + " mesh refused: " + problem;
}

}  // namespace vorlane
