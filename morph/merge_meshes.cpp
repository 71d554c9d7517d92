#include "morph/merge_meshes.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <numeric>
#include <utility>
#include <vector>

#include "morph/exact_predicates.h"
#include "morph/sphere_grid.h"

namespace vorlane {
namespace {

using Entries = std::vector<CellEntry>;

// One model as the overlay sees it: directions are the centred vertices.
struct Side {
    const Polyhedron& model;
    std::vector<IndexPair> arcs;  // every edge once, from < to, ascending
    std::vector<CellBox> arcBoxes;
    std::vector<SphereBounds> arcBounds;

    const Vec3& Point(int32_t v) const { return model.vertices[static_cast<size_t>(v)]; }

    int32_t ArcIndex(int32_t u, int32_t v) const
    {
        const IndexPair key{std::min(u, v), std::max(u, v)};
        const auto it = std::lower_bound(arcs.begin(), arcs.end(), key);
        assert(it != arcs.end() && *it == key);
        return static_cast<int32_t>(it - arcs.begin());
    }
};

std::vector<IndexPair> ArcsOf(const Polyhedron& model)
{
    std::vector<IndexPair> arcs;
    arcs.reserve(model.faces.size() * 3);
    for (const Triangle& f : model.faces) {
        for (int i = 0; i < 3; ++i) {
            const int32_t u = f[static_cast<size_t>(i)], v = f[static_cast<size_t>((i + 1) % 3)];
            if (u < v) arcs.push_back({u, v});  // each edge runs low to high in exactly one triangle
        }
    }
    std::sort(arcs.begin(), arcs.end());
    return arcs;
}

// Where a direction falls on the other model's network.
struct Location {
    enum Kind : uint8_t { Inside, OnArc, AtVertex } kind = Inside;
    int32_t index = -1;  // triangle, arc or vertex of the other model
};

// The triangle of other that holds direction p, with where on it p falls.
bool Locate(const Side& other, const SphereGrid& grid, const Entries& triangles, const Vec3& p, Location& where)
{
    const uint32_t key = grid.CellOf(p);
    for (size_t e = FirstEntryOf(triangles, key); e < triangles.size() && CellKeyOf(triangles[e]) == key; ++e) {
        const uint32_t triangle = ItemOf(triangles[e]);
        const Triangle& f = other.model.faces[triangle];
        int signs[3];
        bool inside = true;
        for (int i = 0; i < 3 && inside; ++i) {
            signs[i] = Orient3(other.Point(f[static_cast<size_t>(i)]), other.Point(f[static_cast<size_t>((i + 1) % 3)]), p);
            inside = signs[i] >= 0;
        }
        if (!inside) continue;
        const int zeros = (signs[0] == 0) + (signs[1] == 0) + (signs[2] == 0);
        if (zeros == 0) {
            where = {Location::Inside, static_cast<int32_t>(triangle)};
        } else if (zeros == 1) {
            const int i = signs[0] == 0 ? 0 : signs[1] == 0 ? 1 : 2;
            where = {Location::OnArc, other.ArcIndex(f[static_cast<size_t>(i)], f[static_cast<size_t>((i + 1) % 3)])};
        } else {
            // On two sides' circles: the corner they share.
            const int i = signs[0] != 0 ? 2 : signs[1] != 0 ? 0 : 1;
            where = {Location::AtVertex, f[static_cast<size_t>(i)]};
        }
        return true;
    }
    return false;
}

// A crossing of source arc a -> b with target arc c -> d.
struct Crossing {
    int32_t sourceArc;
    int32_t targetArc;
    bool targetEndOnLeft;  // d lies to the left of a -> b (else c does)
};

// Proper crossings only: touching at an end or running along one circle
// shows up as a vertex lying on the other model's network instead.
bool ArcsCross(const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& d, bool& dOnLeft)
{
    const int sd = Orient3(a, b, d);
    if (sd == 0 || Orient3(a, b, c) != -sd) return false;
    if (Orient3(c, d, a) != sd || Orient3(c, d, b) != -sd) return false;
    dOnLeft = sd > 0;
    return true;
}

// A point placed on one arc, in order along it.
struct ArcPoint {
    int32_t arc;
    int32_t vertex;  // merged vertex
    ArcEvent where;
};

// A merged edge leaving a vertex, with the arc it lies on (source arcs
// first, then target).
struct HalfEdge {
    int32_t from;
    int32_t to;
    int32_t arc;
    // Order of making: 2k runs along its arc, its twin 2k + 1 against it.
    int32_t piece;
    int8_t slot;  // order around a crossing; -1 elsewhere
};

Vec3 Add(const Vec3& a, const Vec3& b)
{
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}

struct D3 {
    double x, y, z;
};
D3 ToD(const Vec3& v) { return {v.x, v.y, v.z}; }
D3 Sub(const D3& a, const D3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
D3 Cross(const D3& a, const D3& b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double Dot(const D3& a, const D3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 ToF(const D3& a) { return {static_cast<float>(a.x), static_cast<float>(a.y), static_cast<float>(a.z)}; }

// Where the ray along direction p meets the segment a -> b.
Vec3 OnSegment(const Vec3& a, const Vec3& b, const Vec3& p)
{
    const D3 da = ToD(a), db = ToD(b), dp = ToD(p);
    const D3 m = Cross(da, db);
    const double s = Dot(Cross(dp, da), m) / Dot(Cross(Sub(db, da), dp), m);
    const double t = std::clamp(s, 0.0, 1.0);
    return ToF({da.x + t * (db.x - da.x), da.y + t * (db.y - da.y), da.z + t * (db.z - da.z)});
}

// Where the ray along direction p meets the plane of triangle a, b, c.
Vec3 OnTriangle(const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& p)
{
    const D3 da = ToD(a), dp = ToD(p);
    const D3 n = Cross(Sub(ToD(b), da), Sub(ToD(c), da));
    const double t = Dot(n, da) / Dot(n, dp);
    return ToF({dp.x * t, dp.y * t, dp.z * t});
}

// The point of other's surface in the direction p, which lies at where.
Vec3 SurfacePoint(const Side& other, const Location& where, const Vec3& p)
{
    switch (where.kind) {
    case Location::AtVertex:
        return other.Point(where.index);
    case Location::OnArc: {
        const IndexPair& arc = other.arcs[static_cast<size_t>(where.index)];
        return OnSegment(other.Point(arc.from), other.Point(arc.to), p);
    }
    case Location::Inside:
        break;
    }
    const Triangle& f = other.model.faces[static_cast<size_t>(where.index)];
    return OnTriangle(other.Point(f[0]), other.Point(f[1]), other.Point(f[2]), p);
}

class Overlay {
public:
    Overlay(const Polyhedron& source, const Polyhedron& target, const MergeProgress& progress)
        : source_{source, ArcsOf(source), {}, {}}, target_{target, ArcsOf(target), {}, {}}, progress_(progress)
    {
    }

    MeshMergeResult Run()
    {
        Report("crossings", 0.0);
        FindCrossings();
        Report("locating vertices", 0.0);
        LocateVertices();
        Report("cutting edges", 0.0);
        CutArcs();
        Report("faces", 0.0);
        SortAroundVertices();
        MeshMergeResult result;
        WalkFaces(result);
        Report("positions", 0.0);
        Assemble(result);
        Report("positions", 1.0);
        return result;
    }

private:
    void Report(const char* phase, double fraction)
    {
        if (progress_) progress_(phase, fraction);
    }

    const Side& SideOf(int32_t globalArc) const
    {
        return globalArc < static_cast<int32_t>(source_.arcs.size()) ? source_ : target_;
    }

    const IndexPair& ArcOf(int32_t globalArc) const
    {
        const int32_t n = static_cast<int32_t>(source_.arcs.size());
        return globalArc < n ? source_.arcs[static_cast<size_t>(globalArc)] : target_.arcs[static_cast<size_t>(globalArc - n)];
    }

    void FindCrossings()
    {
        grid_ = std::make_unique<SphereGrid>(source_.arcs.size() + target_.arcs.size());
        Entries entries[2];
        for (int k = 0; k < 2; ++k) {
            Side& side = k == 0 ? source_ : target_;
            entries[k].reserve(side.arcs.size() * 4);
            side.arcBoxes.reserve(side.arcs.size());
            side.arcBounds.resize(side.arcs.size());
            for (size_t i = 0; i < side.arcs.size(); ++i) {
                const IndexPair& e = side.arcs[i];
                side.arcBoxes.push_back(grid_->ArcBox(side.Point(e.from), side.Point(e.to), &side.arcBounds[i]));
                grid_->Insert(side.arcBoxes.back(), static_cast<uint32_t>(i), entries[k]);
            }
            SortEntries(entries[k], *grid_);
        }
        // Walk both lists cell by cell.
        const Entries& a = entries[0];
        const Entries& b = entries[1];
        size_t i = 0, j = 0;
        while (i < a.size() && j < b.size()) {
            const uint32_t ka = CellKeyOf(a[i]), kb = CellKeyOf(b[j]);
            if (ka != kb) {
                if (ka < kb) {
                    while (i < a.size() && CellKeyOf(a[i]) == ka) ++i;
                } else {
                    while (j < b.size() && CellKeyOf(b[j]) == kb) ++j;
                }
                continue;
            }
            size_t iEnd = i, jEnd = j;
            while (iEnd < a.size() && CellKeyOf(a[iEnd]) == ka) ++iEnd;
            while (jEnd < b.size() && CellKeyOf(b[jEnd]) == ka) ++jEnd;
            for (size_t s = i; s < iEnd; ++s) {
                for (size_t t = j; t < jEnd; ++t) TestPair(ItemOf(a[s]), ItemOf(b[t]), ka);
            }
            if ((i >> 16) != (iEnd >> 16)) Report("crossings", static_cast<double>(iEnd) / static_cast<double>(a.size()));
            i = iEnd;
            j = jEnd;
        }
#ifdef VORLANE_STATS
        fprintf(stderr, "entries %zu %zu arcs %zu %zu pairs %zu tested %zu crossings %zu grid %u\n", a.size(), b.size(), source_.arcs.size(), target_.arcs.size(), statPairs_, statTested_, crossings_.size(), grid_->CellCount());
#endif
    }

    void TestPair(uint32_t sourceArc, uint32_t targetArc, uint32_t cell)
    {
        int32_t first[3];
#ifdef VORLANE_STATS
        ++statPairs_;
#endif
        if (!Overlap(source_.arcBounds[sourceArc], target_.arcBounds[targetArc])) return;
        if (!FirstCommonCell(source_.arcBoxes[sourceArc], target_.arcBoxes[targetArc], first) ||
            grid_->Key(first[0], first[1], first[2]) != cell) {
            return;
        }
#ifdef VORLANE_STATS
        ++statTested_;
#endif
        const IndexPair& s = source_.arcs[sourceArc];
        const IndexPair& t = target_.arcs[targetArc];
        bool dOnLeft = false;
        if (ArcsCross(source_.Point(s.from), source_.Point(s.to), target_.Point(t.from), target_.Point(t.to), dOnLeft)) {
            crossings_.push_back({static_cast<int32_t>(sourceArc), static_cast<int32_t>(targetArc), dOnLeft});
        }
    }

    Entries TriangleEntries(const Side& side) const
    {
        Entries entries;
        entries.reserve(side.model.faces.size() * 2);
        for (size_t t = 0; t < side.model.faces.size(); ++t) {
            const Triangle& f = side.model.faces[t];
            grid_->Insert(grid_->TriangleBox(side.Point(f[0]), side.Point(f[1]), side.Point(f[2])), static_cast<uint32_t>(t), entries);
        }
        SortEntries(entries, *grid_);
        return entries;
    }

    // Every vertex of each model finds its place on the other's network;
    // target vertices that coincide with source vertices become one.
    void LocateVertices()
    {
        const Entries targetTriangles = TriangleEntries(target_);
        const Entries sourceTriangles = TriangleEntries(source_);
        const int32_t s = static_cast<int32_t>(source_.model.vertices.size());
        const int32_t t = static_cast<int32_t>(target_.model.vertices.size());
        sourceOnTarget_.assign(static_cast<size_t>(s), Location{});
        targetOnSource_.assign(static_cast<size_t>(t), Location{});
        used_[0] = UsedVertices(source_.model);
        used_[1] = UsedVertices(target_.model);
        for (int32_t v = 0; v < s; ++v) {
            if (used_[0][static_cast<size_t>(v)] && !Locate(target_, *grid_, targetTriangles, source_.Point(v), sourceOnTarget_[static_cast<size_t>(v)])) {
                assert(false && "a direction that no triangle covers");
            }
        }
        targetVertex_.assign(static_cast<size_t>(t), -1);
        vertexCount_ = s;
        for (int32_t v = 0; v < t; ++v) {
            if (!used_[1][static_cast<size_t>(v)]) continue;
            Location& where = targetOnSource_[static_cast<size_t>(v)];
            if (!Locate(source_, *grid_, sourceTriangles, target_.Point(v), where)) {
                assert(false && "a direction that no triangle covers");
            }
            targetVertex_[static_cast<size_t>(v)] = where.kind == Location::AtVertex ? where.index : vertexCount_++;
        }
        crossingBase_ = vertexCount_;
        vertexCount_ += static_cast<int32_t>(crossings_.size());
    }

    static std::vector<bool> UsedVertices(const Polyhedron& model)
    {
        std::vector<bool> used(model.vertices.size(), false);
        for (const Triangle& f : model.faces) {
            for (int32_t v : f) used[static_cast<size_t>(v)] = true;
        }
        return used;
    }

    // Cuts every arc at the crossings and vertices on it, in order along it.
    void CutArcs()
    {
        const int32_t sourceArcs = static_cast<int32_t>(source_.arcs.size());
        std::vector<ArcPoint> points;
        points.reserve(crossings_.size() * 2);
        for (size_t k = 0; k < crossings_.size(); ++k) {
            const Crossing& c = crossings_[k];
            const IndexPair& s = source_.arcs[static_cast<size_t>(c.sourceArc)];
            const IndexPair& t = target_.arcs[static_cast<size_t>(c.targetArc)];
            const int32_t vertex = crossingBase_ + static_cast<int32_t>(k);
            points.push_back({c.sourceArc, vertex, {false, target_.Point(t.from), target_.Point(t.to)}});
            points.push_back({sourceArcs + c.targetArc, vertex, {false, source_.Point(s.from), source_.Point(s.to)}});
        }
        for (size_t v = 0; v < sourceOnTarget_.size(); ++v) {
            const Location& where = sourceOnTarget_[v];
            if (used_[0][v] && where.kind == Location::OnArc) {
                points.push_back({sourceArcs + where.index, static_cast<int32_t>(v), {true, source_.Point(static_cast<int32_t>(v)), {}}});
            }
        }
        for (size_t v = 0; v < targetOnSource_.size(); ++v) {
            const Location& where = targetOnSource_[v];
            if (used_[1][v] && where.kind == Location::OnArc) {
                points.push_back({where.index, targetVertex_[v], {true, target_.Point(static_cast<int32_t>(v)), {}}});
            }
        }
        {
            // Group by arc with a counting sort.
            const size_t arcs = source_.arcs.size() + target_.arcs.size();
            std::vector<size_t> first(arcs + 1, 0);
            for (const ArcPoint& point : points) ++first[static_cast<size_t>(point.arc) + 1];
            std::partial_sum(first.begin(), first.end(), first.begin());
            std::vector<ArcPoint> grouped(points.size());
            for (const ArcPoint& point : points) grouped[first[static_cast<size_t>(point.arc)]++] = point;
            points.swap(grouped);
        }

        halfEdges_.reserve((source_.arcs.size() + target_.arcs.size() + points.size()) * 2);
        const int32_t arcCount = sourceArcs + static_cast<int32_t>(target_.arcs.size());
        size_t next = 0;
        std::vector<int32_t> chain;
        for (int32_t arc = 0; arc < arcCount; ++arc) {
            const Side& side = SideOf(arc);
            const IndexPair& e = ArcOf(arc);
            const Vec3& p = side.Point(e.from);
            const Vec3& q = side.Point(e.to);
            size_t end = next;
            while (end < points.size() && points[end].arc == arc) ++end;
            // Few points per arc: insertion by exact comparison.
            for (size_t i = next + 1; i < end; ++i) {
                for (size_t j = i; j > next && CompareAlongArc(p, q, points[j].where, points[j - 1].where) > 0; --j) {
                    std::swap(points[j], points[j - 1]);
                }
            }
            chain.clear();
            chain.push_back(MergedVertex(arc, e.from));
            for (size_t i = next; i < end; ++i) chain.push_back(points[i].vertex);
            chain.push_back(MergedVertex(arc, e.to));
            for (size_t i = 0; i + 1 < chain.size(); ++i) AddPiece(arc, chain[i], chain[i + 1]);
            next = end;
        }
    }

    int32_t MergedVertex(int32_t arc, int32_t v) const
    {
        return arc < static_cast<int32_t>(source_.arcs.size()) ? v : targetVertex_[static_cast<size_t>(v)];
    }

    // Around a crossing the order is fixed by the signs that found it:
    // ahead along the source arc, the target end on its left, back, the other.
    void AddPiece(int32_t arc, int32_t from, int32_t to)
    {
        const bool sourceArc = arc < static_cast<int32_t>(source_.arcs.size());
        const int32_t piece = static_cast<int32_t>(halfEdges_.size());
        halfEdges_.push_back({from, to, arc, piece, CrossingSlot(from, sourceArc, true)});
        halfEdges_.push_back({to, from, arc, piece + 1, CrossingSlot(to, sourceArc, false)});
    }

    // The input point a half-edge heads for along its arc's great circle.
    const Vec3& Toward(const HalfEdge& h) const
    {
        const IndexPair& e = ArcOf(h.arc);
        return SideOf(h.arc).Point(h.piece % 2 == 0 ? e.to : e.from);
    }

    int8_t CrossingSlot(int32_t vertex, bool sourceArc, bool ahead) const
    {
        if (vertex < crossingBase_) return -1;
        const Crossing& c = crossings_[static_cast<size_t>(vertex - crossingBase_)];
        if (sourceArc) return ahead ? 0 : 2;
        // Ahead along the target arc is towards d.
        return ahead == c.targetEndOnLeft ? 1 : 3;
    }

    const Vec3& DirectionOf(int32_t vertex) const
    {
        if (vertex < static_cast<int32_t>(source_.model.vertices.size())) return source_.Point(vertex);
        return targetDirection_[static_cast<size_t>(vertex)];
    }

    // Half-edges grouped by vertex, each group in counter-clockwise order seen
    // from outside, repeats along shared circles removed.
    void SortAroundVertices()
    {
        // Directions of the merged vertices that come from the target alone.
        targetDirection_.assign(static_cast<size_t>(crossingBase_), Vec3{});
        for (size_t v = 0; v < targetVertex_.size(); ++v) {
            if (targetVertex_[v] >= static_cast<int32_t>(source_.model.vertices.size())) {
                targetDirection_[static_cast<size_t>(targetVertex_[v])] = target_.Point(static_cast<int32_t>(v));
            }
        }
        // Group by vertex with a counting sort.
        std::vector<int32_t> first(static_cast<size_t>(vertexCount_) + 1, 0);
        for (const HalfEdge& h : halfEdges_) ++first[static_cast<size_t>(h.from) + 1];
        std::partial_sum(first.begin(), first.end(), first.begin());
        std::vector<HalfEdge> grouped(halfEdges_.size());
        {
            std::vector<int32_t> fill(first.begin(), first.end() - 1);
            for (const HalfEdge& h : halfEdges_) grouped[static_cast<size_t>(fill[static_cast<size_t>(h.from)]++)] = h;
        }
        // Pieces of two arcs on one circle between the same two vertices are
        // one edge: keep the first of each neighbour.
        std::vector<std::pair<int32_t, int32_t>> repeats;  // (dropped piece, kept piece)
        halfEdges_.clear();
        firstEdge_.assign(static_cast<size_t>(vertexCount_) + 1, 0);
        for (int32_t v = 0; v < vertexCount_; ++v) {
            const size_t begin = halfEdges_.size();
            for (int32_t i = first[static_cast<size_t>(v)]; i < first[static_cast<size_t>(v) + 1]; ++i) {
                const HalfEdge& h = grouped[static_cast<size_t>(i)];
                size_t j = begin;
                while (j < halfEdges_.size() && halfEdges_[j].to != h.to) ++j;
                if (j == halfEdges_.size()) {
                    halfEdges_.push_back(h);
                } else {
                    repeats.push_back({h.piece, halfEdges_[j].piece});
                }
            }
            firstEdge_[static_cast<size_t>(v) + 1] = static_cast<int32_t>(halfEdges_.size());
            auto from = halfEdges_.begin() + static_cast<std::ptrdiff_t>(begin);
            if (v >= crossingBase_) {
                std::sort(from, halfEdges_.end(), [](const HalfEdge& a, const HalfEdge& b) { return a.slot < b.slot; });
            } else if (halfEdges_.size() - begin > 2) {
                SortByAngle(DirectionOf(v), from, halfEdges_.end());
            }
        }
        // Twins through the order of making; a dropped repeat stands for the
        // kept half-edge with the same ends.
        std::vector<int32_t> position(grouped.size());
        for (size_t h = 0; h < halfEdges_.size(); ++h) position[static_cast<size_t>(halfEdges_[h].piece)] = static_cast<int32_t>(h);
        for (const auto& [dropped, kept] : repeats) position[static_cast<size_t>(dropped)] = position[static_cast<size_t>(kept)];
        twin_.resize(halfEdges_.size());
        for (size_t h = 0; h < halfEdges_.size(); ++h) twin_[h] = position[static_cast<size_t>(halfEdges_[h].piece ^ 1)];
    }

    // Insertion by exact comparisons: degrees are small.
    void SortByAngle(const Vec3& v, std::vector<HalfEdge>::iterator begin, std::vector<HalfEdge>::iterator end)
    {
        const Vec3 reference = Toward(*begin);
        // 0: the reference, 1: left of it, 2: opposite, 3: right of it.
        auto quarter = [&](const Vec3& w) {
            const int side = Orient3(v, reference, w);
            if (side > 0) return 1;
            if (side < 0) return 3;
            return TangentCosine(v, reference, w) > 0 ? 0 : 2;
        };
        const size_t n = static_cast<size_t>(end - begin);
        quarters_.resize(n);
        for (size_t i = 0; i < n; ++i) quarters_[i] = quarter(Toward(*(begin + static_cast<std::ptrdiff_t>(i))));
        auto before = [&](size_t a, size_t b) {
            if (quarters_[a] != quarters_[b]) return quarters_[a] < quarters_[b];
            return Orient3(v, Toward(*(begin + static_cast<std::ptrdiff_t>(a))), Toward(*(begin + static_cast<std::ptrdiff_t>(b)))) > 0;
        };
        for (size_t i = 1; i < n; ++i) {
            for (size_t j = i; j > 0 && before(j, j - 1); --j) {
                std::swap(*(begin + static_cast<std::ptrdiff_t>(j)), *(begin + static_cast<std::ptrdiff_t>(j) - 1));
                std::swap(quarters_[j], quarters_[j - 1]);
            }
        }
    }

    // The face to the left of each half-edge: at its head, turn to the
    // half-edge just before its twin in counter-clockwise order.
    void WalkFaces(MeshMergeResult& result)
    {
        // A triangulated sphere has V - E + F = 2 and F = 2V - 4.
        const size_t edges = halfEdges_.size() / 2;
        result.polygonStarts.reserve(edges - static_cast<size_t>(vertexCount_) + 3);
        result.polygonIndices.reserve(halfEdges_.size());
        result.mesh.faces.reserve(2 * static_cast<size_t>(vertexCount_));
        result.polygonStarts.push_back(0);
        std::vector<uint8_t> seen(halfEdges_.size(), 0);
        for (size_t start = 0; start < halfEdges_.size(); ++start) {
            if (seen[start]) continue;
            const size_t first = result.polygonIndices.size();
            for (size_t h = start; !seen[h];) {
                seen[h] = 1;
                result.polygonIndices.push_back(halfEdges_[h].from);
                const size_t t = static_cast<size_t>(twin_[h]);
                const size_t begin = static_cast<size_t>(firstEdge_[static_cast<size_t>(halfEdges_[t].from)]);
                const size_t end = static_cast<size_t>(firstEdge_[static_cast<size_t>(halfEdges_[t].from) + 1]);
                h = t == begin ? end - 1 : t - 1;
            }
            result.polygonStarts.push_back(static_cast<int32_t>(result.polygonIndices.size()));
            Fan(result.polygonIndices.data() + first, result.polygonIndices.size() - first, result.mesh.faces);
        }
    }

    // Every corner of a face is strict: it lies inside a corner of a triangle
    // of each model (both less than a half turn) or between two different
    // great circles. So a fan never makes a triangle on one great circle.
    static void Fan(const int32_t* ring, size_t n, std::vector<MeshFace>& triangles)
    {
        for (size_t i = 1; i + 1 < n; ++i) triangles.push_back({3, {ring[0], ring[i], ring[i + 1]}});
    }

    void Assemble(MeshMergeResult& result)
    {
        // Positions on both surfaces, in each model's table coordinates.
        std::vector<Vec3> start(static_cast<size_t>(vertexCount_));
        std::vector<Vec3> end(static_cast<size_t>(vertexCount_));
        const int32_t s = static_cast<int32_t>(source_.model.vertices.size());
        for (int32_t v = 0; v < s; ++v) {
            if (!used_[0][static_cast<size_t>(v)]) continue;
            start[static_cast<size_t>(v)] = Add(source_.Point(v), source_.model.centre);
            end[static_cast<size_t>(v)] =
                Add(SurfacePoint(target_, sourceOnTarget_[static_cast<size_t>(v)], source_.Point(v)), target_.model.centre);
        }
        for (size_t v = 0; v < targetVertex_.size(); ++v) {
            const int32_t merged = targetVertex_[v];
            if (merged < s) continue;  // unused, or one with a source vertex
            const Vec3& p = target_.Point(static_cast<int32_t>(v));
            start[static_cast<size_t>(merged)] = Add(SurfacePoint(source_, targetOnSource_[v], p), source_.model.centre);
            end[static_cast<size_t>(merged)] = Add(p, target_.model.centre);
        }
        for (size_t k = 0; k < crossings_.size(); ++k) {
            const Crossing& c = crossings_[k];
            const IndexPair& a = source_.arcs[static_cast<size_t>(c.sourceArc)];
            const IndexPair& b = target_.arcs[static_cast<size_t>(c.targetArc)];
            const D3 na = Cross(ToD(source_.Point(a.from)), ToD(source_.Point(a.to)));
            const D3 nb = Cross(ToD(target_.Point(b.from)), ToD(target_.Point(b.to)));
            D3 direction = Cross(na, nb);
            if (Dot(direction, ToD(source_.Point(a.from))) + Dot(direction, ToD(source_.Point(a.to))) < 0) {
                direction = {-direction.x, -direction.y, -direction.z};
            }
            const Vec3 p = ToF(direction);
            start[static_cast<size_t>(crossingBase_) + k] =
                Add(OnSegment(source_.Point(a.from), source_.Point(a.to), p), source_.model.centre);
            end[static_cast<size_t>(crossingBase_) + k] = Add(OnSegment(target_.Point(b.from), target_.Point(b.to), p), target_.model.centre);
        }

        // Only vertices that edges reach are kept, in merged order.
        std::vector<int32_t> compact(static_cast<size_t>(vertexCount_), -1);
        MorphMesh& mesh = result.mesh;
        for (const HalfEdge& h : halfEdges_) compact[static_cast<size_t>(h.from)] = 0;
        for (int32_t v = 0; v < vertexCount_; ++v) {
            if (compact[static_cast<size_t>(v)] < 0) continue;
            compact[static_cast<size_t>(v)] = mesh.vertexCount++;
            mesh.startPositions.push_back(start[static_cast<size_t>(v)]);
            mesh.endPositions.push_back(end[static_cast<size_t>(v)]);
        }
        // Half-edges are grouped by ascending vertex and compacting keeps the
        // order, so only each vertex's few neighbours need sorting.
        mesh.edges.reserve(halfEdges_.size() / 2);
        for (size_t h = 0; h < halfEdges_.size();) {
            const size_t begin = mesh.edges.size();
            const int32_t from = halfEdges_[h].from;
            for (; h < halfEdges_.size() && halfEdges_[h].from == from; ++h) {
                if (from < halfEdges_[h].to) {
                    mesh.edges.push_back({compact[static_cast<size_t>(from)], compact[static_cast<size_t>(halfEdges_[h].to)]});
                }
            }
            std::sort(mesh.edges.begin() + static_cast<std::ptrdiff_t>(begin), mesh.edges.end());
        }
        mesh.edgeCount = static_cast<int32_t>(mesh.edges.size());
        for (MeshFace& f : mesh.faces) {
            for (int32_t& i : f.indices) i = compact[static_cast<size_t>(i)];
        }
        for (int32_t& i : result.polygonIndices) i = compact[static_cast<size_t>(i)];
        mesh.faceCount = static_cast<int32_t>(mesh.faces.size());
        mesh.centre = SphereCentre;
        mesh.source = &source_.model;
        mesh.target = &target_.model;
        result.crossingCount = static_cast<int32_t>(crossings_.size());
    }

    Side source_;
    Side target_;
    const MergeProgress& progress_;
    std::unique_ptr<SphereGrid> grid_;
    std::vector<Crossing> crossings_;
    std::vector<bool> used_[2];
    std::vector<Location> sourceOnTarget_;
    std::vector<Location> targetOnSource_;
    std::vector<int32_t> targetVertex_;  // merged index of each target vertex
    std::vector<Vec3> targetDirection_;
    int32_t vertexCount_ = 0;
    int32_t crossingBase_ = 0;
    std::vector<HalfEdge> halfEdges_;
    std::vector<int32_t> firstEdge_;
    std::vector<int32_t> twin_;
    std::vector<int> quarters_;  // scratch of the angular sort
#ifdef VORLANE_STATS
    size_t statPairs_ = 0, statTested_ = 0;
#endif
};

}  // namespace

MeshMergeResult MergeMeshes(const Polyhedron& source, const Polyhedron& target, const MergeProgress& progress)
{
    if (progress) progress("validating", 0.0);
    for (const auto& [model, name] : {std::pair{&source, "source"}, std::pair{&target, "target"}}) {
        const std::string problem = ValidateStarShaped(*model);
        if (!problem.empty()) {
            MeshMergeResult refused;
            refused.error = std::string(name) + " mesh refused: " + problem;
            return refused;
        }
    }
    return Overlay(source, target, progress).Run();
}

}  // namespace vorlane
