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
    const Vec3& a = At(positions, u);
    const Vec3& b = At(positions, v);
    const double x = double(a.x) - b.x, y = double(a.y) - b.y, z = double(a.z) - b.z;
    return static_cast<float>(x * x + y * y + z * z);
}

// Sets the corner at the removed (or kept) vertex in every triangle of its
// fan from the triangle of first to the triangle of last, counter-clockwise.
void Reassign(CollapseMesh& mesh, int32_t first, int32_t lastTriangle, int32_t vertex)
{
    for (int32_t e = first;; e = NextAround(mesh, e)) {
        At(At(mesh.triangles, e / 3), e % 3) = vertex;
        if (e / 3 == lastTriangle) break;
    }
}

void ApplyCollapse(CollapseMesh& mesh, int32_t h)
{
    const int32_t kept = Destination(mesh, h);
    const int32_t twin = Twin(mesh, h);
    const int32_t a = Twin(mesh, NextHalfEdge(h));
    const int32_t b = Twin(mesh, PrevHalfEdge(h));
    const int32_t c = Twin(mesh, NextHalfEdge(twin));
    const int32_t d = Twin(mesh, PrevHalfEdge(twin));
    const int32_t removed = Origin(mesh, h);
    Reassign(mesh, b, c / 3, kept);
    At(mesh.twin, a) = b;
    At(mesh.twin, b) = a;
    At(mesh.twin, c) = d;
    At(mesh.twin, d) = c;
    At(mesh.live, h / 3) = 0;
    At(mesh.live, twin / 3) = 0;
    At(mesh.outgoing, removed) = -1;
    At(mesh.outgoing, kept) = b;
    At(mesh.outgoing, Origin(mesh, a)) = a;
    At(mesh.outgoing, Origin(mesh, c)) = c;
    --mesh.liveVertexCount;
}

class Collapser {
public:
    Collapser(CollapseMesh& mesh, const std::vector<Vec3>& positions)
        : mesh_(mesh), positions_(positions)
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
            if (h < 0) continue;
            // The neighbours the two ends share must be exactly the two
            // opposite corners.
            const SharedNeighbours link = CountSharedNeighbours(mesh_, c.from, c.to, marks_);
            if (link.shared != 2) continue;
            // Valences rise as neighbours collapse: a key that has grown
            // since its push goes back with its current value.
            const float key = Key(c.from, c.to, link.valence - 4);
            if (key > c.key) {
                queue_.push({key, c.from, c.to});
                continue;
            }
            ApplyCollapse(mesh_, h);
            collapses.push_back({c.from, c.to, h});
            collapsedSincePush = true;
            // Only the edges the kept vertex took over are new; the keys of
            // its old ones are brought up to date when they come up.
            for (int32_t e = At(mesh_.outgoing, c.to), first = e;;) {
                const int32_t n = Destination(mesh_, e);
                if (At(marks_.stamp, n) == marks_.round) Push(c.to, n);  // a neighbour of the removed vertex
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
        const int32_t first = At(mesh_.outgoing, from);
        if (first < 0 || At(mesh_.outgoing, to) < 0) return -1;
        for (int32_t e = first;;) {
            if (Destination(mesh_, e) == to) return e;
            e = NextAround(mesh_, e);
            if (e == first) return -1;
        }
    }

    CollapseMesh& mesh_;
    const std::vector<Vec3>& positions_;
    NeighbourMarks marks_;
    std::priority_queue<Candidate, std::vector<Candidate>, std::greater<Candidate>> queue_;
};

}  // namespace

CollapseMesh BuildCollapseMesh(const ModelTable& table)
{
    CollapseMesh mesh;
    static_cast<TriangleConnectivity&>(mesh) = BuildTriangleConnectivity(table.triangles, table.vertices.size());
    mesh.live.assign(mesh.triangles.size(), 1);
    mesh.liveVertexCount = VertexCount(mesh);
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
    const int32_t twin = Twin(mesh, h);
    const int32_t hn = NextHalfEdge(h), hp = PrevHalfEdge(h), tn = NextHalfEdge(twin), tp = PrevHalfEdge(twin);
    const int32_t a = Twin(mesh, hn);
    const int32_t b = Twin(mesh, hp);
    const int32_t c = Twin(mesh, tn);
    const int32_t d = Twin(mesh, tp);
    Reassign(mesh, b, c / 3, collapse.removed);
    At(mesh.twin, a) = hn;
    At(mesh.twin, b) = hp;
    At(mesh.twin, c) = tn;
    At(mesh.twin, d) = tp;
    At(mesh.live, h / 3) = 1;
    At(mesh.live, twin / 3) = 1;
    At(mesh.outgoing, collapse.removed) = h;
    At(mesh.outgoing, collapse.kept) = hn;
    At(mesh.outgoing, Origin(mesh, hp)) = hp;
    At(mesh.outgoing, Origin(mesh, tp)) = tp;
    ++mesh.liveVertexCount;
}

}  // namespace vorlane
