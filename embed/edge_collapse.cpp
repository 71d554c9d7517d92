#include "embed/edge_collapse.h"

#include <algorithm>
#include <cmath>
#include <queue>
#include <utility>

namespace vorlane {
namespace {

struct Candidate {
    float key;
    int32_t from;
    int32_t to;
};
bool operator>(const Candidate& a, const Candidate& b)
{
    if (a.key != b.key) return a.key > b.key;
    return a.from != b.from ? a.from > b.from : a.to > b.to;
}

float Length2(const std::vector<Vec3>& positions, int32_t u, int32_t v)
{
    const Vec3& a = positions[static_cast<size_t>(u)];
    const Vec3& b = positions[static_cast<size_t>(v)];
    const double x = double(a.x) - b.x, y = double(a.y) - b.y, z = double(a.z) - b.z;
    return static_cast<float>(x * x + y * y + z * z);
}

// Sets the corner at the removed (or kept) vertex in every triangle of its
// fan from the triangle of first to the triangle of last, counter-clockwise.
void Reassign(CollapseMesh& mesh, int32_t first, int32_t lastTriangle, int32_t vertex)
{
    for (int32_t e = first;; e = NextAround(mesh, e)) {
        mesh.triangles[static_cast<size_t>(e / 3)][static_cast<size_t>(e % 3)] = vertex;
        if (e / 3 == lastTriangle) break;
    }
}

void ApplyCollapse(CollapseMesh& mesh, int32_t h)
{
    const int32_t kept = Destination(mesh, h);
    const int32_t twin = mesh.opposite[static_cast<size_t>(h)];
    const int32_t a = mesh.opposite[static_cast<size_t>(NextHalfEdge(h))];
    const int32_t b = mesh.opposite[static_cast<size_t>(PrevHalfEdge(h))];
    const int32_t c = mesh.opposite[static_cast<size_t>(NextHalfEdge(twin))];
    const int32_t d = mesh.opposite[static_cast<size_t>(PrevHalfEdge(twin))];
    const int32_t removed = Origin(mesh, h);
    Reassign(mesh, b, c / 3, kept);
    mesh.opposite[static_cast<size_t>(a)] = b;
    mesh.opposite[static_cast<size_t>(b)] = a;
    mesh.opposite[static_cast<size_t>(c)] = d;
    mesh.opposite[static_cast<size_t>(d)] = c;
    mesh.live[static_cast<size_t>(h / 3)] = 0;
    mesh.live[static_cast<size_t>(twin / 3)] = 0;
    mesh.outgoing[static_cast<size_t>(removed)] = -1;
    mesh.outgoing[static_cast<size_t>(kept)] = b;
    mesh.outgoing[static_cast<size_t>(Origin(mesh, a))] = a;
    mesh.outgoing[static_cast<size_t>(Origin(mesh, c))] = c;
    --mesh.liveVertexCount;
}

class Collapser {
public:
    Collapser(CollapseMesh& mesh, const std::vector<Vec3>& positions)
        : mesh_(mesh), positions_(positions), stamp_(mesh.outgoing.size(), 0)
    {
    }

    void PushAll()
    {
        for (size_t t = 0; t < mesh_.triangles.size(); ++t) {
            if (!mesh_.live[t]) continue;
            for (int k = 0; k < 3; ++k) {
                // The key is the same both ways: one candidate per edge.
                const auto h = static_cast<int32_t>(3 * t + static_cast<size_t>(k));
                if (Origin(mesh_, h) < Destination(mesh_, h)) Push(Origin(mesh_, h), Destination(mesh_, h));
            }
        }
    }

    // Collapses until 4 vertices are left or no candidate is legal.
    void Run(std::vector<EdgeCollapse>& collapses, const std::function<void(double)>& progress)
    {
        const int32_t start = mesh_.liveVertexCount;
        bool collapsedSincePush = true;
        while (mesh_.liveVertexCount > 4) {
            if (queue_.empty()) {
                // note: candidates the link condition refuses are dropped; a
                // full refill finds those that later collapses made legal.
                if (!collapsedSincePush) return;
                collapsedSincePush = false;
                PushAll();
                continue;
            }
            const Candidate c = queue_.top();
            queue_.pop();
            const int32_t h = FindHalfEdge(c.from, c.to);
            if (h < 0 || !LinkConditionHolds(c.from, c.to)) continue;
            // Valences rise as neighbours collapse: a key that has grown
            // since its push goes back with its current value.
            const float key = Key(c.from, c.to, valence_ - 4);
            if (key > c.key) {
                queue_.push({key, c.from, c.to});
                continue;
            }
            ApplyCollapse(mesh_, h);
            collapses.push_back({c.from, c.to, h});
            collapsedSincePush = true;
            // Only the edges the kept vertex took over are new; the keys of
            // its old ones are brought up to date when they come up.
            for (int32_t e = mesh_.outgoing[static_cast<size_t>(c.to)], first = e;;) {
                const int32_t n = Destination(mesh_, e);
                if (stamp_[static_cast<size_t>(n)] == round_) Push(c.to, n);  // a neighbour of the removed vertex
                e = NextAround(mesh_, e);
                if (e == first) break;
            }
            if (progress && collapses.size() % 4096 == 0) {
                progress(double(start - mesh_.liveVertexCount) / double(std::max(1, start - 4)));
            }
        }
    }

private:
    // Kept vertices gather their neighbours' edges: a steep price on the
    // valence a collapse leaves keeps the coarse meshes free of wide fans,
    // whose thin triangles leave little room on the sphere.
    float Key(int32_t from, int32_t to, int valence) const
    {
        return Length2(positions_, from, to) * std::ldexp(1.0f, 2 * std::clamp(valence - 9, 0, 40));
    }

    // A candidate's key before its valence is known: its length alone.
    void Push(int32_t from, int32_t to) { queue_.push({Length2(positions_, from, to), from, to}); }

    int32_t FindHalfEdge(int32_t from, int32_t to) const
    {
        const int32_t first = mesh_.outgoing[static_cast<size_t>(from)];
        if (first < 0 || mesh_.outgoing[static_cast<size_t>(to)] < 0) return -1;
        for (int32_t e = first;;) {
            if (Destination(mesh_, e) == to) return e;
            e = NextAround(mesh_, e);
            if (e == first) return -1;
        }
    }

    // The neighbours the two ends share are exactly the two opposite corners.
    // Leaves the sum of both valences in valence_.
    bool LinkConditionHolds(int32_t from, int32_t to)
    {
        ++round_;
        const int32_t first = mesh_.outgoing[static_cast<size_t>(from)];
        valence_ = 0;
        for (int32_t e = first;;) {
            ++valence_;
            stamp_[static_cast<size_t>(Destination(mesh_, e))] = round_;
            e = NextAround(mesh_, e);
            if (e == first) break;
        }
        int shared = 0;
        const int32_t second = mesh_.outgoing[static_cast<size_t>(to)];
        for (int32_t e = second;;) {
            ++valence_;
            shared += stamp_[static_cast<size_t>(Destination(mesh_, e))] == round_;
            e = NextAround(mesh_, e);
            if (e == second) break;
        }
        return shared == 2;
    }

    CollapseMesh& mesh_;
    const std::vector<Vec3>& positions_;
    std::vector<uint32_t> stamp_;
    uint32_t round_ = 0;
    int valence_ = 0;
    std::priority_queue<Candidate, std::vector<Candidate>, std::greater<Candidate>> queue_;
};

}  // namespace

CollapseMesh BuildCollapseMesh(const ModelTable& table)
{
    CollapseMesh mesh;
    mesh.triangles = table.triangles;
    const size_t halfEdges = table.triangles.size() * 3;
    mesh.opposite.assign(halfEdges, -1);
    mesh.outgoing.assign(table.vertices.size(), -1);
    mesh.live.assign(table.triangles.size(), 1);
    std::vector<std::pair<uint64_t, int32_t>> sides(halfEdges);
    for (size_t h = 0; h < halfEdges; ++h) {
        const auto hh = static_cast<int32_t>(h);
        const auto u = static_cast<uint32_t>(Origin(mesh, hh)), v = static_cast<uint32_t>(Destination(mesh, hh));
        sides[h] = {(static_cast<uint64_t>(std::min(u, v)) << 32) | std::max(u, v), hh};
        mesh.outgoing[u] = hh;
    }
    std::sort(sides.begin(), sides.end());
    for (size_t i = 0; i + 1 < sides.size(); i += 2) {
        mesh.opposite[static_cast<size_t>(sides[i].second)] = sides[i + 1].second;
        mesh.opposite[static_cast<size_t>(sides[i + 1].second)] = sides[i].second;
    }
    mesh.liveVertexCount = static_cast<int32_t>(table.vertices.size());
    return mesh;
}

std::vector<EdgeCollapse> CollapseToTetrahedron(CollapseMesh& mesh, const std::vector<Vec3>& positions,
                                                const std::function<void(double)>& progress)
{
    std::vector<EdgeCollapse> collapses;
    collapses.reserve(static_cast<size_t>(std::max(0, mesh.liveVertexCount - 4)));
    Collapser collapser(mesh, positions);
    collapser.PushAll();
    collapser.Run(collapses, progress);
    return collapses;
}

void RedoCollapse(CollapseMesh& mesh, const EdgeCollapse& collapse) { ApplyCollapse(mesh, collapse.halfEdge); }

void UndoCollapse(CollapseMesh& mesh, const EdgeCollapse& collapse)
{
    const int32_t h = collapse.halfEdge;
    const int32_t twin = mesh.opposite[static_cast<size_t>(h)];
    const int32_t hn = NextHalfEdge(h), hp = PrevHalfEdge(h), tn = NextHalfEdge(twin), tp = PrevHalfEdge(twin);
    const int32_t a = mesh.opposite[static_cast<size_t>(hn)];
    const int32_t b = mesh.opposite[static_cast<size_t>(hp)];
    const int32_t c = mesh.opposite[static_cast<size_t>(tn)];
    const int32_t d = mesh.opposite[static_cast<size_t>(tp)];
    Reassign(mesh, b, c / 3, collapse.removed);
    mesh.opposite[static_cast<size_t>(a)] = hn;
    mesh.opposite[static_cast<size_t>(b)] = hp;
    mesh.opposite[static_cast<size_t>(c)] = tn;
    mesh.opposite[static_cast<size_t>(d)] = tp;
    mesh.live[static_cast<size_t>(h / 3)] = 1;
    mesh.live[static_cast<size_t>(twin / 3)] = 1;
    mesh.outgoing[static_cast<size_t>(collapse.removed)] = h;
    mesh.outgoing[static_cast<size_t>(collapse.kept)] = hn;
    mesh.outgoing[static_cast<size_t>(Origin(mesh, hp))] = hp;
    mesh.outgoing[static_cast<size_t>(Origin(mesh, tp))] = tp;
    ++mesh.liveVertexCount;
}

}  // namespace vorlane
