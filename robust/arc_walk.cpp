#include "robust/arc_walk.h"

#include <algorithm>
#include <cassert>
#include <numeric>
#include <utility>

#include "geometry/exact_predicates.h"
#include "robust/ray_points.h"

namespace vorlane {
namespace {

// Calls f(u, v) for every side u -> v of a triangle with u < v.
template <class F>
void ForEachRisingSide(const Polyhedron& model, F&& f)
{
    for (const Triangle& t : model.faces) {
        for (size_t i = 0; i < 3; ++i) {
            if (t[i] < t[(i + 1) % 3]) f(t[i], t[(i + 1) % 3]);
        }
    }
}

// Each edge runs low to high in exactly one triangle of a validated model;
// grouping by the low end leaves only each vertex's few edges to sort.
void FillArcs(WalkMesh& mesh)
{
    const Polyhedron& model = *mesh.model;
    std::vector<int32_t> first(model.vertices.size() + 1, 0);
    ForEachRisingSide(model, [&](int32_t u, int32_t) { ++first[static_cast<size_t>(u) + 1]; });
    std::partial_sum(first.begin(), first.end(), first.begin());
    mesh.arcStart = first;
    std::vector<IndexPair>& arcs = mesh.arcs;
    arcs.resize(static_cast<size_t>(first.back()));
    ForEachRisingSide(model, [&](int32_t u, int32_t v) { arcs[static_cast<size_t>(first[static_cast<size_t>(u)]++)] = {u, v}; });
    for (size_t u = 0; u < model.vertices.size(); ++u) {
        const int32_t begin = mesh.arcStart[u], end = mesh.arcStart[u + 1];
        if (end - begin > FanSearchDegree) {
            std::sort(arcs.begin() + begin, arcs.begin() + end);
            continue;
        }
        for (int32_t i = begin + 1; i < end; ++i) {
            for (int32_t j = i; j > begin && arcs[static_cast<size_t>(j)] < arcs[static_cast<size_t>(j - 1)]; --j) {
                std::swap(arcs[static_cast<size_t>(j)], arcs[static_cast<size_t>(j - 1)]);
            }
        }
    }
}

// Whether triangle t's closure holds the place where.
bool Holds(const WalkMesh& mesh, int32_t t, const Location& where)
{
    const Triangle& f = mesh.model->faces[static_cast<size_t>(t)];
    const int32_t* arcs = mesh.sideArc.data() + 3 * t;
    switch (where.kind) {
    case Location::Inside:
        return where.index == t;
    case Location::OnArc:
        return arcs[0] == where.index || arcs[1] == where.index || arcs[2] == where.index;
    case Location::AtVertex:
        return f[0] == where.index || f[1] == where.index || f[2] == where.index;
    }
    return false;
}

// The side of triangle t whose great circle passes within NearAngle of
// direction p, the nearest if more do, or -1.
int8_t NearSide(const WalkMesh& mesh, int32_t t, const Vec3& p)
{
    const D3 dp = ToD(p);
    // Squared sines times |p|^2, to spare a division.
    double best = NearAngle * NearAngle * Dot(dp, dp);
    int8_t nearest = -1;
    for (int32_t i = 0; i < 3; ++i) {
        const D3 n = Cross(ToD(mesh.Point(mesh.Corner(3 * t + i))), ToD(mesh.Point(mesh.Corner(3 * t + (i + 1) % 3))));
        const double dot = Dot(n, dp);
        const double sine2 = dot * dot / Dot(n, n);
        if (sine2 <= best && (nearest < 0 || sine2 < best)) {
            nearest = static_cast<int8_t>(i);
            best = sine2;
        }
    }
    return nearest;
}

// The wide fans, each in counter-clockwise order from the vertex's corner.
void FillFans(WalkMesh& mesh, const std::vector<int32_t>& degree)
{
    const size_t n = mesh.corner.size();
    if (std::none_of(degree.begin(), degree.end(), [](int32_t d) { return d > FanSearchDegree; })) return;
    mesh.fanStart.assign(n + 1, 0);
    for (size_t v = 0; v < n; ++v) mesh.fanStart[v + 1] = mesh.fanStart[v] + (degree[v] > FanSearchDegree ? degree[v] : 0);
    mesh.fan.resize(static_cast<size_t>(mesh.fanStart[n]));
    for (size_t v = 0; v < n; ++v) {
        int32_t at = mesh.fanStart[v];
        if (at == mesh.fanStart[v + 1]) continue;
        const int32_t first = mesh.corner[v];
        int32_t side = first;
        do {
            // A vertex whose triangles do not close one fan would overrun.
            assert(at < mesh.fanStart[v + 1]);
            if (at == mesh.fanStart[v + 1]) break;
            mesh.fan[static_cast<size_t>(at++)] = side;
            side = mesh.across[static_cast<size_t>(WalkMesh::After(side, 2))];
        } while (side != first);
    }
}

// The side of vertex v's wide fan through which a walk along the great
// circle from v towards b leaves: the one whose wedge holds that direction,
// or whose first spoke runs along it (then along is set). A binary search
// by angle counter-clockwise from the first spoke, every comparison exact:
// the spokes of a fan that winds once about v are in that order already.
int32_t LeaveWideFan(const WalkMesh& mesh, int32_t v, const Vec3& b, bool& along)
{
    const int32_t* fan = mesh.fan.data() + mesh.fanStart[static_cast<size_t>(v)];
    const int32_t n = mesh.fanStart[static_cast<size_t>(v) + 1] - mesh.fanStart[static_cast<size_t>(v)];
    const Vec3& p = mesh.Point(v);
    auto spoke = [&](int32_t i) -> const Vec3& { return mesh.Point(mesh.Corner(WalkMesh::After(fan[i], 1))); };
    const Vec3& reference = spoke(0);
    // 0: along the reference, 1: left of it, 2: opposite, 3: right of it.
    auto half = [&](const Vec3& w) {
        const int side = Orient3(p, reference, w);
        if (side != 0) return side > 0 ? 1 : 3;
        return TangentCosine(p, reference, w) > 0 ? 0 : 2;
    };
    const int towards = half(b);
    // Within one open half, angles differ by less than a half turn.
    auto order = [&](int32_t i) {
        const int h = half(spoke(i));
        if (h != towards) return h < towards ? 1 : -1;
        return h % 2 == 0 ? 0 : Orient3(p, spoke(i), b);
    };
    int32_t low = 0, high = n;  // spoke low lies at or before b, spoke high after (or is none)
    while (high - low > 1) {
        const int32_t middle = low + (high - low) / 2;
        if (order(middle) >= 0) {
            low = middle;
        } else {
            high = middle;
        }
    }
    along = order(low) == 0;
    return fan[low];
}

}  // namespace

int32_t WalkMesh::ArcIndex(int32_t u, int32_t v) const
{
    // A vertex has a few arcs as from: a scan beats a search of them all.
    const int32_t low = std::min(u, v), high = std::max(u, v);
    const int32_t begin = arcStart[static_cast<size_t>(low)], end = arcStart[static_cast<size_t>(low) + 1];
    if (end - begin > FanSearchDegree) {
        const IndexPair key{low, high};
        const auto found = std::lower_bound(arcs.begin() + begin, arcs.begin() + end, key);
        return found != arcs.begin() + end && *found == key ? static_cast<int32_t>(found - arcs.begin()) : -1;
    }
    for (int32_t arc = begin; arc < end; ++arc) {
        if (arcs[static_cast<size_t>(arc)].to == high) return arc;
    }
    return -1;
}

WalkMesh MakeWalkMesh(const Polyhedron& model)
{
    WalkMesh mesh;
    mesh.model = &model;
    mesh.directions = model.map == SphereMap::Central ? &model.vertices : &model.spherePoints;
    FillArcs(mesh);
    const std::vector<Triangle>& faces = model.faces;
    mesh.across.resize(faces.size() * 3);
    mesh.sideArc.resize(faces.size() * 3);
    mesh.rising.resize(mesh.arcs.size());
    mesh.corner.assign(model.vertices.size(), -1);
    std::vector<int32_t> degree(model.vertices.size(), 0);
    for (size_t t = 0; t < faces.size(); ++t) {
        for (size_t i = 0; i < 3; ++i) {
            const int32_t u = faces[t][i], v = faces[t][(i + 1) % 3];
            const int32_t side = static_cast<int32_t>(3 * t + i);
            const int32_t arc = mesh.ArcIndex(u, v);
            assert(arc >= 0);
            mesh.sideArc[static_cast<size_t>(side)] = arc;
            if (u < v) mesh.rising[static_cast<size_t>(arc)] = side;
            mesh.corner[static_cast<size_t>(u)] = side;
            ++degree[static_cast<size_t>(u)];
        }
    }
    // A validated model has each edge once each way.
    for (size_t side = 0; side < mesh.sideArc.size(); ++side) {
        const int32_t rising = mesh.rising[static_cast<size_t>(mesh.sideArc[side])];
        if (rising == static_cast<int32_t>(side)) continue;
        mesh.across[side] = rising;
        mesh.across[static_cast<size_t>(rising)] = static_cast<int32_t>(side);
    }
    FillFans(mesh, degree);
    return mesh;
}

bool LocateIn(const WalkMesh& mesh, int32_t t, const Vec3& p, Location& where)
{
    int signs[3];
    for (int32_t i = 0; i < 3; ++i) {
        signs[i] = Orient3(mesh.Point(mesh.Corner(3 * t + i)), mesh.Point(mesh.Corner(3 * t + (i + 1) % 3)), p);
        if (signs[i] < 0) return false;
    }
    const int zeros = (signs[0] == 0) + (signs[1] == 0) + (signs[2] == 0);
    if (zeros == 0) {
        where = {Location::Inside, t, NearSide(mesh, t, p)};
    } else if (zeros == 1) {
        const int32_t i = signs[0] == 0 ? 0 : signs[1] == 0 ? 1 : 2;
        where = {Location::OnArc, mesh.sideArc[static_cast<size_t>(3 * t + i)]};
    } else {
        // On two sides' circles: the corner they share.
        const int32_t i = signs[0] != 0 ? 2 : signs[1] != 0 ? 0 : 1;
        where = {Location::AtVertex, mesh.Corner(3 * t + i)};
    }
    return true;
}

void WalkArc(const WalkMesh& over, const Vec3& a, const Vec3& b, const Location& start, Location& end, std::vector<int32_t>& met)
{
    assert(start.index >= 0 && "a walk from a place not yet found");
    if (start.index < 0) return;
    auto point = [&](int32_t v) -> const Vec3& { return over.Point(v); };
    auto sign = [&](int32_t v) { return Orient3(a, b, point(v)); };
    auto corner = [&](int32_t side) { return over.Corner(side); };
    auto after = [](int32_t side, int32_t step) { return WalkMesh::After(side, step); };
    // Whether b comes before the arc leaves triangle t through side (or
    // past the corner that side ends at): then the walk ends in t.
    auto endsIn = [&](int32_t t, int32_t side) {
        if (end.index >= 0) return Holds(over, t, end);
        if (Orient3(point(corner(side)), point(corner(after(side, 1))), b) < 0) return false;
        [[maybe_unused]] const bool found = LocateIn(over, t, b, end);
        assert(found);
        return true;
    };
    // Whether b comes before or at the end of side, which the arc runs along.
    auto endsAlong = [&](int32_t side) {
        const int32_t to = corner(after(side, 1));
        const int32_t arc = over.sideArc[static_cast<size_t>(side)];
        if (end.index >= 0) return (end.kind == Location::OnArc && end.index == arc) || (end.kind == Location::AtVertex && end.index == to);
        const int turn = Orient3(point(to), point(corner(after(side, 2))), b);
        if (turn < 0) return false;
        end = turn == 0 ? Location{Location::AtVertex, to} : Location{Location::OnArc, arc};
        return true;
    };
    // Out through side, whose start lies right of the arc and whose end left.
    auto cross = [&](int32_t side) {
        met.push_back(side);
        return over.across[static_cast<size_t>(side)];
    };
    auto pass = [&](int32_t vertex) {
        met.push_back(~vertex);
        return vertex;
    };
    // The walk is in a triangle, entered through side entry (its start left
    // of the arc, its end right), or at the vertex at.
    int32_t entry = -1;
    int32_t at = -1;
    switch (start.kind) {
    case Location::Inside: {
        const int32_t t = start.index;
        int signs[3];
        for (int32_t i = 0; i < 3; ++i) signs[i] = sign(corner(3 * t + i));
        for (int32_t i = 0; i < 3; ++i) {
            const int next = signs[(i + 1) % 3], last = signs[(i + 2) % 3];
            if (signs[i] < 0 && next > 0) {
                if (endsIn(t, 3 * t + i)) return;
                entry = cross(3 * t + i);
            }
            if (signs[i] == 0 && next > 0 && last < 0) {
                if (endsIn(t, 3 * t + (i + 2) % 3)) return;
                at = pass(corner(3 * t + i));
            }
        }
        // A validated mesh always offers a way on; stop rather than wander
        // should it ever not.
        assert((entry >= 0 || at >= 0) && "an arc that leaves its triangle nowhere");
        if (entry < 0 && at < 0) return;
        break;
    }
    case Location::OnArc: {
        const IndexPair& edge = over.arcs[static_cast<size_t>(start.index)];
        const int from = sign(edge.from);
        const int32_t rising = over.rising[static_cast<size_t>(start.index)];
        if (from > 0) {
            entry = rising;
        } else if (from < 0) {
            entry = over.across[static_cast<size_t>(rising)];
        } else {
            // Along the edge's own circle, towards one of its ends.
            const bool forward = TangentCosine(a, point(edge.to), b) > 0;
            if (endsAlong(forward ? rising : over.across[static_cast<size_t>(rising)])) return;
            at = pass(forward ? edge.to : edge.from);
        }
        break;
    }
    case Location::AtVertex:
        at = start.index;
        break;
    }
    for (;;) {
        if (at >= 0) {
            // Round the vertex to the triangle the arc leaves it into, or the
            // edge it leaves along.
            // The way out is unique, so searching by angle finds what
            // stepping round finds.
            int32_t out = -1;
            bool along = false;
            if (!over.fanStart.empty() && over.fanStart[static_cast<size_t>(at) + 1] > over.fanStart[static_cast<size_t>(at)]) {
                out = LeaveWideFan(over, at, b, along);
            } else {
                const int32_t first = over.corner[static_cast<size_t>(at)];
                int32_t side = first;
                do {
                    const int32_t x = corner(after(side, 1));
                    const int sx = sign(x);
                    if (sx == 0 && TangentCosine(point(at), point(x), b) > 0) {
                        out = side;
                        along = true;
                        break;
                    }
                    if (sx < 0 && sign(corner(after(side, 2))) > 0) {
                        out = side;
                        break;
                    }
                    side = over.across[static_cast<size_t>(after(side, 2))];
                } while (side != first);
            }
            assert(out >= 0 && "an arc that leaves a vertex nowhere");
            if (out < 0) return;
            if (along) {
                if (endsAlong(out)) return;
                at = pass(corner(after(out, 1)));
            } else {
                if (endsIn(out / 3, after(out, 1))) return;
                entry = cross(after(out, 1));
                at = -1;
            }
            continue;
        }
        const int32_t t = entry / 3;
        const int32_t r = corner(after(entry, 2));
        const int sr = sign(r);
        // Out past r, through the side from the entry's end to r, or through
        // the side from r to the entry's start: the one whose start lies
        // right of the arc.
        const int32_t exit = sr > 0 ? after(entry, 1) : after(entry, 2);
        if (endsIn(t, sr == 0 ? after(entry, 1) : exit)) return;
        if (sr == 0) {
            at = pass(r);
            entry = -1;
        } else {
            entry = cross(exit);
        }
    }
}

std::vector<Location> LocateVertices(const WalkMesh& from, const std::vector<bool>& used, const WalkMesh& over)
{
    std::vector<Location> where(used.size());
    CompleteLocations(from, used, over, where);
    return where;
}

void CompleteLocations(const WalkMesh& from, const std::vector<bool>& used, const WalkMesh& over, std::vector<Location>& where)
{
    const size_t n = used.size();
    // Each vertex's neighbours, both ways along the arcs.
    std::vector<int32_t> first(n + 1, 0);
    for (const IndexPair& arc : from.arcs) {
        ++first[static_cast<size_t>(arc.from) + 1];
        ++first[static_cast<size_t>(arc.to) + 1];
    }
    std::partial_sum(first.begin(), first.end(), first.begin());
    std::vector<int32_t> neighbours(static_cast<size_t>(first.back()));
    {
        std::vector<int32_t> fill(first.begin(), first.end() - 1);
        for (const IndexPair& arc : from.arcs) {
            neighbours[static_cast<size_t>(fill[static_cast<size_t>(arc.from)]++)] = arc.to;
            neighbours[static_cast<size_t>(fill[static_cast<size_t>(arc.to)]++)] = arc.from;
        }
    }
    std::vector<int32_t> queue;
    queue.reserve(n);
    std::vector<int32_t> met;
    std::vector<int32_t> wide;
    // Walks spread from placed vertices to their neighbours not yet placed.
    auto walkFrom = [&](int32_t u) {
        for (int32_t k = first[static_cast<size_t>(u)]; k < first[static_cast<size_t>(u) + 1]; ++k) {
            const int32_t v = neighbours[static_cast<size_t>(k)];
            if (where[static_cast<size_t>(v)].index >= 0) continue;
            met.clear();
            WalkArc(over, from.Point(u), from.Point(v), where[static_cast<size_t>(u)], where[static_cast<size_t>(v)], met);
            if (where[static_cast<size_t>(v)].index >= 0) queue.push_back(v);
        }
    };
    // note: the walks out of a wide vertex can each cross much of a wide fan
    // of the other mesh, so those spread last, by when its neighbours are
    // mostly placed along its ring. A place is unique, so the order of
    // walking never changes where a vertex lies.
    auto spread = [&](size_t head) {
        for (;;) {
            for (; head < queue.size(); ++head) {
                const int32_t u = queue[head];
                if (first[static_cast<size_t>(u) + 1] - first[static_cast<size_t>(u)] > FanSearchDegree) {
                    wide.push_back(u);
                } else {
                    walkFrom(u);
                }
            }
            if (wide.empty()) return;
            const int32_t u = wide.back();
            wide.pop_back();
            walkFrom(u);
        }
    };
    for (size_t v = 0; v < n; ++v) {
        if (used[v] && where[v].index >= 0) queue.push_back(static_cast<int32_t>(v));
    }
    spread(0);
    for (size_t root = 0; root < n; ++root) {
        if (!used[root] || where[root].index >= 0) continue;
        // One vertex of a part with none placed is found by looking at every
        // triangle; the walks place the rest.
        for (int32_t t = 0; t < static_cast<int32_t>(over.model->faces.size()); ++t) {
            if (LocateIn(over, t, from.Point(static_cast<int32_t>(root)), where[root])) break;
        }
        assert(where[root].index >= 0 && "a direction that no triangle covers");
        if (where[root].index < 0) continue;
        queue.push_back(static_cast<int32_t>(root));
        spread(queue.size() - 1);
    }
}

}  // namespace vorlane
