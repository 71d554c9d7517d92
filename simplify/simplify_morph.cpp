#include "simplify/simplify_morph.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>
#include <vector>

#include "embed/edge_collapse.h"
#include "geometry/dvec3.h"
#include "geometry/exact_predicates.h"
#include "geometry/index_at.h"
#include "simplify/candidate_heap.h"
#include "simplify/compact_morph.h"
#include "simplify/quadric.h"

namespace vorlane {
namespace {

// Errors below this share of the diagonal are float rounding, not shape.
constexpr double RoundingShare = 0x1p-22;
// A candidate is found again this many times over the whole mesh once the
// heap runs dry, for collapses that later ones made legal.
constexpr int Refills = 3;
// A collapse may leave the fans' lowest triangle lower than this share of
// the diagonal only where one was already lower before: the merge's own
// slivers may stay or widen, but no new needles appear, whose corners a
// viewer's float offsets (a few 1e-7 of the size) can bring onto one line.
constexpr double NeedleHeight = 0x1p-18;

// One end of the morph: its positions, and the frame its quadrics are in
// (centred on the box, the diagonal of unit length), so both ends weigh
// alike whatever their sizes.
struct End {
    std::vector<Vec3>* positions = nullptr;
    D3 centre;
    double scale = 1.0;
    double flatLimit = 0.0;  // twice-area below which a triangle counts as flat, in table units
    double needleHeight = 0.0;
    std::vector<Quadric> quadrics;

    D3 Frame(const Vec3& p) const { return scale * (ToD(p) - centre); }
    Vec3 Table(const D3& p) const { return ToF(centre + (1.0 / scale) * p); }
};

End MakeEnd(std::vector<Vec3>& positions, const std::vector<Triangle>& triangles)
{
    End end;
    end.positions = &positions;
    D3 lo{HUGE_VAL, HUGE_VAL, HUGE_VAL}, hi{-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    for (const Triangle& t : triangles)
        for (const int32_t v : t) {
            const D3 p = ToD(At(positions, v));
            lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
            hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
        }
    const double diagonal = Norm(hi - lo);
    end.centre = 0.5 * (lo + hi);
    end.scale = diagonal > 0.0 ? 1.0 / diagonal : 1.0;
    // note: twice the checkers' 1e-12, so a box that a placement widens a little keeps every triangle above theirs.
    end.flatLimit = 2e-12 * diagonal * diagonal;
    end.needleHeight = NeedleHeight * diagonal;
    end.quadrics.assign(positions.size(), {});
    for (const Triangle& t : triangles) {
        const D3 a = end.Frame(At(positions, t[0])), b = end.Frame(At(positions, t[1])), c = end.Frame(At(positions, t[2]));
        const D3 n = Cross(b - a, c - a);
        const double length = Norm(n);
        if (!(length > 0.0)) continue;
        const D3 unit = (1.0 / length) * n;
        // note: each plane weighs 1, whatever its triangle's area, so the
        // root of the sum bounds the largest distance from any gathered plane;
        // weighed by area, a wide flat region hides a small feature moved far.
        for (const int32_t v : t) AddPlane(At(end.quadrics, v), unit, -Dot(unit, a), 1.0);
    }
    return end;
}

// Where a collapse of edge (u, v) puts the kept vertex at one end.
struct Placement {
    Vec3 at;
    int which = 2;  // 0: u's position, 1: v's, 2: a new one
    double cost = 0.0;
    double error = 0.0;  // root of the summed squared distances from the gathered planes, in diagonals
};

Placement Place(const End& end, int32_t u, int32_t v)
{
    const Quadric q = At(end.quadrics, u) + At(end.quadrics, v);
    const Vec3& pu = At(*end.positions, u);
    const Vec3& pv = At(*end.positions, v);
    const D3 fu = end.Frame(pu), fv = end.Frame(pv);
    const double cu = Evaluate(q, fu), cv = Evaluate(q, fv);
    Placement best = cu <= cv ? Placement{pu, 0, cu} : Placement{pv, 1, cv};
    // note: a new point must beat the ends by more than rounding, so flat
    // regions keep the positions (and locations) they had.
    const double margin = RoundingShare * RoundingShare * q.weight;
    const auto consider = [&](const D3& f) {
        const Vec3 at = end.Table(f);
        const double cost = Evaluate(q, end.Frame(at));
        if (cost < best.cost - margin) best = {at, 2, cost};
    };
    // note: the point is sought on the edge, not at the quadric's free
    // minimum: the merge's long edges leave the planes pinning a point
    // along a crease or a flat only weakly, and there the free minimum runs
    // off the surface while costing nothing.
    const double c0 = cu, c1 = cv, cm = Evaluate(q, 0.5 * (fu + fv));
    // Along the edge the error is the parabola through (0, c0), (1/2, cm), (1, c1).
    const double curvature = 2.0 * (c0 + c1 - 2.0 * cm);
    if (curvature > 0.0) {
        const double t = std::clamp((3.0 * c0 + c1 - 4.0 * cm) / (2.0 * curvature), 0.0, 1.0);
        consider((1.0 - t) * fu + t * fv);
    }
    best.cost = std::max(best.cost, 0.0);
    best.error = std::sqrt(best.cost);
    return best;
}

// The height of triangle a b c over its longest side.
double Height(const Vec3& a, const Vec3& b, const Vec3& c)
{
    const D3 ab = ToD(b) - ToD(a), bc = ToD(c) - ToD(b), ca = ToD(a) - ToD(c);
    const double longest = std::max({Dot(ab, ab), Dot(bc, bc), Dot(ca, ca)});
    return longest > 0.0 ? Norm(Cross(ab, -1.0 * ca)) / std::sqrt(longest) : 0.0;
}


// The heap's key: the squared errors of both ends summed, so a collapse is
// ranked by how far it moves either surface, not by how much area it
// gathers (the merge's slivers gather little).
float Key(const Placement& start, const Placement& end)
{
    return static_cast<float>(start.error * start.error + end.error * end.error);
}

class Simplifier {
public:
    Simplifier(MorphMesh& mesh, CollapseMesh& net, const SimplifyOptions& options)
        : net_(net), options_(options),
          ends_{MakeEnd(mesh.startPositions, net.triangles), MakeEnd(mesh.endPositions, net.triangles)},
          version_(mesh.startPositions.size(), 0)
    {
        for (LocationSources::Of& of : sources_.of) {
            of.resize(mesh.startPositions.size());
            for (std::size_t v = 0; v < of.size(); ++v) of[v] = static_cast<int32_t>(v);
        }
        live_ = TriangleCount(net);
        target_ = options.maxTriangles.value_or(0);
        limit_ = options.tolerance ? std::max(*options.tolerance, RoundingShare) : HUGE_VAL;
    }

    void Run(const Progress& progress)
    {
        const int64_t first = live_;
        const int64_t goal = std::max<int64_t>(target_, 4);
        bool collapsed = true;
        for (int round = 0; round <= Refills && collapsed && Going(); ++round) {
            PushAll();
            collapsed = false;
            while (!heap_.Empty() && Going()) {
                const Candidate c = heap_.Pop();
                if (c.stamp != At(version_, c.u) + At(version_, c.v)) continue;
                if (!TryCollapse(c.u, c.v)) continue;
                collapsed = true;
                if (progress && ++collapses_ % 8192 == 0)
                    progress("simplifying", std::min(1.0, double(first - live_) / double(std::max<int64_t>(1, first - goal))));
            }
        }
    }

    const LocationSources& Sources() const { return sources_; }

private:
    bool Going() const { return live_ > target_ && net_.liveVertexCount > 4; }

    void Push(int32_t u, int32_t v)
    {
        const Placement s = Place(ends_[0], u, v), e = Place(ends_[1], u, v);
        if (s.error > limit_ || e.error > limit_) return;
        heap_.Push({Key(s, e), u, v, At(version_, u) + At(version_, v)});
    }

    void PushAll()
    {
        std::vector<Candidate> all;
        // note: room for the pushes to come, so the heap does not move while it grows.
        all.reserve(static_cast<std::size_t>(3 * HalfEdgeCount(net_) / 2));
        for (int32_t h = 0; h < HalfEdgeCount(net_); ++h) {
            if (!At(net_.live, h / 3)) continue;
            const int32_t u = Origin(net_, h), v = Destination(net_, h);
            if (u >= v) continue;
            const Placement s = Place(ends_[0], u, v), e = Place(ends_[1], u, v);
            if (s.error > limit_ || e.error > limit_) continue;
            all.push_back({Key(s, e), u, v, At(version_, u) + At(version_, v)});
        }
        heap_.Assign(std::move(all));
    }

    // Whether every triangle around moving (other than those with fixed
    // too) keeps some area and its facing at either end when moving goes to
    // at; gathers the lowest height of the new triangles.
    bool FanHolds(int32_t moving, int32_t fixed, const std::array<Vec3, 2>& at, double (&after)[2]) const
    {
        bool holds = true;
        VisitOutgoing(net_, moving, [&](int32_t h) {
            if (!holds) return;
            const Triangle& t = At(net_.triangles, h / 3);
            if (t[0] == fixed || t[1] == fixed || t[2] == fixed) return;
            const int k = h % 3;  // the corner at moving
            for (int e = 0; e < 2; ++e) {
                const std::vector<Vec3>& p = *ends_[e].positions;
                const Vec3& a = At(p, t[(k + 1) % 3]);
                const Vec3& b = At(p, t[(k + 2) % 3]);
                const D3 n = Cross(ToD(a) - ToD(at[e]), ToD(b) - ToD(at[e]));
                if (!(Norm(n) > ends_[e].flatLimit) || FacingSign(At(p, moving), a, b, at[e], a, b) <= 0) {
                    holds = false;
                    return;
                }
                after[e] = std::min(after[e], Height(at[e], a, b));
            }
        });
        return holds;
    }

    // The lowest height of the triangles around moving at one end, as they are.
    double FanLowest(int32_t moving, int e) const
    {
        double lowest = HUGE_VAL;
        const std::vector<Vec3>& p = *ends_[e].positions;
        VisitOutgoing(net_, moving, [&](int32_t h) {
            const Triangle& t = At(net_.triangles, h / 3);
            const int k = h % 3;
            lowest = std::min(lowest, Height(At(p, moving), At(p, t[(k + 1) % 3]), At(p, t[(k + 2) % 3])));
        });
        return lowest;
    }

    bool FansHold(int32_t removed, int32_t kept, const std::array<Vec3, 2>& at) const
    {
        double after[2] = {HUGE_VAL, HUGE_VAL};
        if (!FanHolds(removed, kept, at, after) || !FanHolds(kept, removed, at, after)) return false;
        // note: the fans as they were are measured only for a low triangle, which is rare.
        for (int e = 0; e < 2; ++e)
            if (after[e] < ends_[e].needleHeight && after[e] < std::min(FanLowest(removed, e), FanLowest(kept, e))) return false;
        return true;
    }

    bool TryCollapse(int32_t u, int32_t v)
    {
        // The lower number stays: the inputs' own vertices come first.
        const int32_t kept = u, removed = v;
        int32_t h = -1;
        VisitOutgoing(net_, removed, [&](int32_t e) {
            if (Destination(net_, e) == kept) h = e;
        });
        if (h < 0 || !LinkConditionHolds(net_, removed, kept, marks_)) return false;
        Placement placed[2] = {Place(ends_[0], u, v), Place(ends_[1], u, v)};
        const std::array<Vec3, 2> at{placed[0].at, placed[1].at};
        if (!FansHold(removed, kept, at)) return false;

        RedoCollapse(net_, {removed, kept, h});
        live_ -= 2;
        for (int e = 0; e < 2; ++e) {
            At(*ends_[e].positions, kept) = at[e];
            At(ends_[e].quadrics, kept) = At(ends_[e].quadrics, kept) + At(ends_[e].quadrics, removed);
            std::vector<int32_t>& of = sources_.of[e];
            At(of, kept) = placed[e].which == 0 ? At(of, kept) : placed[e].which == 1 ? At(of, removed) : -1;
        }
        ++At(version_, kept);
        ++At(version_, removed);
        VisitOutgoing(net_, kept, [&](int32_t e) {
            const int32_t n = Destination(net_, e);
            Push(std::min(kept, n), std::max(kept, n));
        });
        return true;
    }

    CollapseMesh& net_;
    const SimplifyOptions& options_;
    End ends_[2];
    std::vector<uint32_t> version_;
    LocationSources sources_;
    NeighbourMarks marks_;
    CandidateHeap heap_;
    int64_t live_ = 0;
    int64_t target_ = 0;
    double limit_ = HUGE_VAL;
    int64_t collapses_ = 0;
};

}  // namespace

SimplifyReport SimplifyMorph(MorphMesh& mesh, const SimplifyOptions& options, const Progress& progress)
{
    SimplifyReport report;
    report.trianglesBefore = mesh.faceCount();
    report.trianglesAfter = report.trianglesBefore;
    CollapseMesh net;
    {
        std::vector<Triangle> triangles;
        triangles.reserve(mesh.faces.size());
        for (const MeshFace& face : mesh.faces) {
            if (face.indices.size() != 3) {
                report.error = "only a mesh of triangles can be simplified";
                return report;
            }
            triangles.push_back({face.indices[0], face.indices[1], face.indices[2]});
        }
        EdgeProblem problem;
        static_cast<TriangleConnectivity&>(net) = BuildTriangleConnectivity(std::move(triangles), mesh.startPositions.size(), &problem);
        if (problem.fault != EdgeFault::None || mesh.endPositions.size() != mesh.startPositions.size()) {
            report.error = "only a closed, consistently oriented mesh can be simplified";
            return report;
        }
    }
    net.live.assign(net.triangles.size(), 1);
    net.liveVertexCount = 0;
    for (const int32_t h : net.outgoing) net.liveVertexCount += h >= 0;
    if (progress) progress("simplifying", 0.0);
    Simplifier simplifier(mesh, net, options);
    simplifier.Run(progress);
    CompactMorph(mesh, net, simplifier.Sources(), report);
    if (progress) progress("simplifying", 1.0);
    return report;
}

}  // namespace vorlane
