#include "embed/spherical_embedding.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "embed/conformal_map.h"
#include "embed/edge_collapse.h"
#include "embed/mesh_topology.h"
#include "embed/sphere_math.h"
#include "embed/tutte_map.h"
#include "geometry/exact_predicates.h"

namespace vorlane {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
// Vertex count grows by this factor between two relaxations of all vertices.
constexpr double kLevelGrowth = 1.25;
constexpr size_t kMovesPerLevel = 10000;
// Below this a determinant of unit directions is mostly rounding: a point
// that close to a great circle of its ring is not taken.
constexpr double kSmallestDeterminant = 1e-14;

// Coarse to fine: collapse to a tetrahedron, then put the vertices back one
// by one inside the kernel of their ring on the sphere. Every placement is
// accepted only on its final float point by the exact Orient3, and a kept
// vertex never moves out of its kernel, so the map stays a tiling throughout.
class HierarchicalEmbedder {
public:
    HierarchicalEmbedder(const ModelTable& table, const EmbedOptions& options, const Progress& progress)
        : table_(table), options_(options), progress_(progress), mesh_(BuildCollapseMesh(table)),
          directions_(table.vertices.size())
    {
        if (options.guides.size() == table.vertices.size()) {
            for (const Vec3& g : options.guides) {
                guides_.push_back(UnitOf(g));
                // note: a guide on the sphere is taken as it is, so that a
                // copy of a mesh can land on its original's very points.
                const double off = std::fabs(Norm(ToD(g)) - SphereRadius);
                guidePoints_.push_back(off <= 1e-6 * SphereRadius ? g : OnSphere(guides_.back()));
            }
        }
    }

    std::string Run(std::vector<Vec3>& directions, EmbedStatistics& statistics)
    {
        const std::vector<EdgeCollapse> collapses = CollapseToTetrahedron(mesh_, table_.vertices, [this](double f) {
            if (progress_) progress_("simplify", f);
        });
        if (mesh_.liveVertexCount != 4) return "no legal edge collapse left at " + std::to_string(mesh_.liveVertexCount) + " vertices";
        statistics.collapses = static_cast<int>(collapses.size());
        if (!PlaceTetrahedron()) return "the base tetrahedron is not positive";
        UpdateTargets();

        if (progress_) progress_("simplify", 1.0);
        size_t nextLevel = 8;
        for (size_t i = collapses.size(); i-- > 0;) {
            const EdgeCollapse& collapse = collapses[i];
            UndoCollapse(mesh_, collapse);
            // A kernel too thin for float points: spread the surroundings
            // of the kept vertex, ever wider, and try again; long thin arms
            // squeezed into specks need many rounds over all vertices.
            bool placed = Insert(collapse);
            for (int rings = 1; rings <= 10 && !placed; ++rings) {
                RedoCollapse(mesh_, collapse);
                RelaxAround(collapse.kept, rings);
                UndoCollapse(mesh_, collapse);
                placed = Insert(collapse);
                ++statistics.retries;
            }
            if (!placed) return "vertex " + std::to_string(collapse.removed) + " found no float point in its kernel";
            present_.push_back(collapse.removed);
            if (present_.size() >= nextLevel || i == 0) {
                UpdateTargets();
                // Sweeps are cheap while the mesh is coarse, and there they
                // move area between distant parts: a fixed budget of vertex
                // moves per level.
                const size_t sweeps = std::clamp<size_t>(kMovesPerLevel / present_.size(), 1, 64);
                for (size_t sweep = 0; sweep < sweeps; ++sweep) {
                    for (int32_t v : present_) Relax(v, 1);
                }
                nextLevel = static_cast<size_t>(static_cast<double>(present_.size()) * kLevelGrowth) + 1;
            }
            if (progress_ && i % 4096 == 0) progress_("insert", 1.0 - double(i) / double(collapses.size()));
        }
        UpdateTargets();
        for (int sweep = 0; sweep < options_.finalSweeps; ++sweep) {
            for (int32_t v : present_) Relax(v, 2);
            if (progress_) progress_("relax", double(sweep + 1) / double(options_.finalSweeps));
        }
        // Last, each vertex onto its guide where its kernel holds it.
        if (!guides_.empty()) {
            for (int32_t v : present_) {
                PrepareRing(v);
                const Vec3& guide = guidePoints_[static_cast<size_t>(v)];
                if (Positive(guide)) directions_[static_cast<size_t>(v)] = guide;
            }
        }
        directions = std::move(directions_);
        return {};
    }

    // The area spreading and even sides over a valid map of every vertex,
    // sweeps times over all of them; the map stays valid move by move.
    void Spread(std::vector<Vec3>& directions, int sweeps)
    {
        directions_ = std::move(directions);
        present_.resize(directions_.size());
        for (size_t v = 0; v < present_.size(); ++v) present_[v] = static_cast<int32_t>(v);
        UpdateTargets();
        for (int sweep = 0; sweep < sweeps; ++sweep) {
            for (int32_t v : present_) Relax(v, 2);
            if (progress_) progress_("relax", double(sweep + 1) / double(sweeps));
        }
        directions = std::move(directions_);
    }

private:
    // Relaxes, a few times over, the vertices within rings of centre (all
    // present vertices past 3 rings, twice as often each ring further).
    void RelaxAround(int32_t centre, int rings)
    {
        if (rings > 3) {
            for (int round = 0; round < (4 << (rings - 4)); ++round) {
                for (int32_t v : present_) Relax(v, 2);
            }
            return;
        }
        if (mark_.empty()) mark_.assign(mesh_.outgoing.size(), 0);
        ++markRound_;
        std::vector<int32_t> near{centre};
        mark_[static_cast<size_t>(centre)] = markRound_;
        for (size_t begin = 0, ring = 0; ring < static_cast<size_t>(rings); ++ring) {
            const size_t end = near.size();
            for (size_t i = begin; i < end; ++i) {
                const int32_t first = mesh_.outgoing[static_cast<size_t>(near[i])];
                for (int32_t e = first;;) {
                    const int32_t n = Destination(mesh_, e);
                    if (mark_[static_cast<size_t>(n)] != markRound_) {
                        mark_[static_cast<size_t>(n)] = markRound_;
                        near.push_back(n);
                    }
                    e = NextAround(mesh_, e);
                    if (e == first) break;
                }
            }
            begin = end;
        }
        for (int round = 0; round < 4; ++round) {
            for (int32_t v : near) Relax(v, 4);
        }
    }

    bool PlaceTetrahedron()
    {
        size_t first = 0;
        while (!mesh_.live[first]) ++first;
        const Triangle& base = mesh_.triangles[first];
        int32_t apex = -1;
        for (size_t v = 0; v < mesh_.outgoing.size(); ++v) {
            const auto vv = static_cast<int32_t>(v);
            if (mesh_.outgoing[v] >= 0 && vv != base[0] && vv != base[1] && vv != base[2]) apex = vv;
        }
        present_ = {base[0], base[1], base[2], apex};
        // The guides where they make a tetrahedron of their own.
        if (!guides_.empty()) {
            for (int32_t v : present_) directions_[static_cast<size_t>(v)] = guidePoints_[static_cast<size_t>(v)];
            if (TetrahedronPositive()) return true;
        }
        // A regular tetrahedron: det[p0, p1, p2] > 0, p3 opposite.
        const double s = 1.0 / std::sqrt(3.0);
        const Dvec3 corners[4] = {{s, s, s}, {s, -s, -s}, {-s, s, -s}, {-s, -s, s}};
        for (int k = 0; k < 4; ++k) directions_[static_cast<size_t>(present_[static_cast<size_t>(k)])] = OnSphere(corners[k]);
        return TetrahedronPositive();
    }

    bool TetrahedronPositive() const
    {
        for (size_t t = 0; t < mesh_.triangles.size(); ++t) {
            if (!mesh_.live[t]) continue;
            const Triangle& f = mesh_.triangles[t];
            if (Orient3(Direction(f[0]), Direction(f[1]), Direction(f[2])) <= 0) return false;
        }
        return true;
    }

    const Vec3& Direction(int32_t v) const { return directions_[static_cast<size_t>(v)]; }

    // Targets of the current level: share of its surface, floored.
    void UpdateTargets()
    {
        double total = 0.0;
        size_t count = 0;
        for (size_t t = 0; t < mesh_.triangles.size(); ++t) {
            if (!mesh_.live[t]) continue;
            const Triangle& f = mesh_.triangles[t];
            total += Area(f[0], f[1], f[2]);
            ++count;
        }
        const double floor = std::clamp(options_.areaFloor, 0.0, 1.0);
        areaScale_ = total > 0.0 ? (1.0 - floor) / total : 0.0;
        floorShare_ = (total > 0.0 ? floor : 1.0) / double(std::max<size_t>(count, 1));
    }

    double Area(int32_t a, int32_t b, int32_t c) const
    {
        return TriangleArea(table_.vertices[static_cast<size_t>(a)], table_.vertices[static_cast<size_t>(b)],
                            table_.vertices[static_cast<size_t>(c)]);
    }

    // The ring of v as its triangles (v, a, b), counter-clockwise.
    void GatherRing(int32_t v)
    {
        ring_.clear();
        const int32_t first = mesh_.outgoing[static_cast<size_t>(v)];
        for (int32_t e = first;;) {
            ring_.push_back({Destination(mesh_, e), Origin(mesh_, PrevHalfEdge(e))});
            e = NextAround(mesh_, e);
            if (e == first) break;
        }
    }

    // Every triangle of the prepared ring positive by the exact test, and by
    // the double determinant the energy uses, so that the energy stays finite.
    bool Positive(const Vec3& p) const
    {
        const Dvec3 q = UnitOf(p);
        for (size_t i = 0; i < ring_.size(); ++i) {
            if (!(Dot(q, normals_[i]) > kSmallestDeterminant)) return false;
            if (Orient3(p, Direction(ring_[i].first), Direction(ring_[i].second)) <= 0) return false;
        }
        return true;
    }

    // Sum over the ring of target^2 / det[p, a, b]: at its minimum over all
    // vertices each det is in proportion to its target, and it grows without
    // bound as a triangle closes, so it never pulls one over. Each triangle
    // adds shapeWeight target |sides|^2 / det, least for even sides, and a
    // guide its pull, guideStrength_ |p - guide|^2.
    double Energy(const Dvec3& p) const
    {
        double energy = 0.0;
        if (guideStrength_ > 0.0) {
            const Dvec3 off = p - guide_;
            energy = guideStrength_ * Dot(off, off);
        }
        for (size_t i = 0; i < ring_.size(); ++i) {
            const double det = Dot(p, normals_[i]);
            if (!(det > 0.0)) return kInfinity;
            energy += weights_[i] / det;
            if (shapeWeights_[i] > 0.0) energy += shapeWeights_[i] * SidesSquared(p, i) / det;
        }
        return energy;
    }

    // The three sides of ring triangle i with v at p, squared and summed.
    double SidesSquared(const Dvec3& p, size_t i) const
    {
        const Dvec3 pa = p - ringUnits_[i].first, pb = p - ringUnits_[i].second;
        const Dvec3 ab = ringUnits_[i].first - ringUnits_[i].second;
        return Dot(pa, pa) + Dot(pb, pb) + Dot(ab, ab);
    }

    void PrepareRing(int32_t v)
    {
        GatherRing(v);
        normals_.clear();
        weights_.clear();
        shapeWeights_.clear();
        ringUnits_.clear();
        double targets = 0.0;
        Dvec3 around;
        for (const auto& [a, b] : ring_) {
            ringUnits_.push_back({UnitOf(Direction(a)), UnitOf(Direction(b))});
            normals_.push_back(Cross(ringUnits_.back().first, ringUnits_.back().second));
            around = around + normals_.back();
            const double target = areaScale_ * Area(v, a, b) + floorShare_;
            weights_.push_back(target * target);
            shapeWeights_.push_back(options_.shapeWeight * target);
            targets += target;
        }
        guideStrength_ = 0.0;
        if (!guides_.empty()) {
            // The ring's dets add up to p . around wherever p is; at the
            // areas' balance the energy is about targets^2 / |around|, and
            // it changes by about that much as p crosses the ring, whose
            // squared radius is about |around| / (2 pi). The pull is scaled
            // to match, so its weight means the same on any ring.
            const double span = Dot(around, around);
            if (span > 0.0) guideStrength_ = options_.guideWeight * 2.0 * M_PI * targets * targets / span;
            guide_ = guides_[static_cast<size_t>(v)];
        }
    }

    // Damped Newton steps on the energy in the tangent plane of v.
    void Relax(int32_t v, int iterations)
    {
        PrepareRing(v);
        Dvec3 p = UnitOf(Direction(v));
        double energy = Energy(p);
        // note: cannot happen once placed by Positive; kept vertices never
        // change their ring's double determinants either.
        if (energy == kInfinity) return;
        for (int it = 0; it < iterations; ++it) {
            const Dvec3 helper = std::fabs(p.x) < 0.6 ? Dvec3{1, 0, 0} : Dvec3{0, 1, 0};
            const Dvec3 e1 = Normalized(Cross(p, helper)), e2 = Cross(p, e1);
            double g1 = 0, g2 = 0, h11 = 0, h12 = 0, h22 = 0;
            if (guideStrength_ > 0.0) {
                g1 = 2.0 * guideStrength_ * Dot(p - guide_, e1);
                g2 = 2.0 * guideStrength_ * Dot(p - guide_, e2);
                h11 = h22 = 2.0 * guideStrength_;
            }
            for (size_t i = 0; i < ring_.size(); ++i) {
                const double det = Dot(p, normals_[i]);
                const double n1 = Dot(normals_[i], e1), n2 = Dot(normals_[i], e2);
                const double g = weights_[i] / (det * det), h = 2.0 * g / det;
                g1 -= g * n1;
                g2 -= g * n2;
                h11 += h * n1 * n1;
                h12 += h * n1 * n2;
                h22 += h * n2 * n2;
                if (shapeWeights_[i] > 0.0) {
                    // s L / det: L's gradient is 2 (p - a) + 2 (p - b), its Hessian 4 I.
                    const double s = shapeWeights_[i], sides = SidesSquared(p, i);
                    const Dvec3 grow = 2.0 * (p - ringUnits_[i].first) + 2.0 * (p - ringUnits_[i].second);
                    const double l1 = Dot(grow, e1), l2 = Dot(grow, e2);
                    g1 += s * (l1 / det - sides * n1 / (det * det));
                    g2 += s * (l2 / det - sides * n2 / (det * det));
                    const double d2 = det * det, d3 = d2 * det;
                    h11 += s * (4.0 / det - 2.0 * l1 * n1 / d2 + 2.0 * sides * n1 * n1 / d3);
                    h12 += s * (-(l1 * n2 + l2 * n1) / d2 + 2.0 * sides * n1 * n2 / d3);
                    h22 += s * (4.0 / det - 2.0 * l2 * n2 / d2 + 2.0 * sides * n2 * n2 / d3);
                }
            }
            // One closing triangle can dominate the Hessian so far that its
            // determinant is lost to rounding: then a scaled gradient step,
            // which the line search below lengthens as needed.
            const double determinant = h11 * h22 - h12 * h12, trace = h11 + h22;
            if (!(trace > 0.0)) return;
            double d1 = -g1 / trace, d2 = -g2 / trace;
            if (determinant > 1e-9 * trace * trace) {
                d1 = -(h22 * g1 - h12 * g2) / determinant;
                d2 = -(h11 * g2 - h12 * g1) / determinant;
            }
            double length = std::sqrt(d1 * d1 + d2 * d2);
            if (!(length > 0.0)) return;
            if (length > 0.5) {
                d1 *= 0.5 / length;
                d2 *= 0.5 / length;
                length = 0.5;
            }
            // Halve the Newton step until it helps; if the full step helps,
            // keep doubling it: near a closing triangle the barrier makes
            // Newton steps short, down to less than a float step.
            double best = energy;
            Vec3 bestPoint = Direction(v);
            double first = 1.0;
            while (first * length < 0.5 && OnSphere(Normalized(p + (first * d1) * e1 + (first * d2) * e2)) == Direction(v)) {
                first *= 2.0;
            }
            for (double step = first; step > 1e-3 * first; step *= 0.5) {
                if (TryStep(v, p, step * d1, step * d2, e1, e2, best, bestPoint)) {
                    for (double grow = 2.0 * step; grow * length <= 1.0; grow *= 2.0) {
                        if (!TryStep(v, p, grow * d1, grow * d2, e1, e2, best, bestPoint)) break;
                    }
                    break;
                }
            }
            if (bestPoint == Direction(v)) return;
            directions_[static_cast<size_t>(v)] = bestPoint;
            p = UnitOf(bestPoint);
            energy = best;
        }
    }

    // Whether the point p + t1 e1 + t2 e2 lowers best and keeps the ring positive; it becomes best if so.
    bool TryStep(int32_t v, const Dvec3& p, double t1, double t2, const Dvec3& e1, const Dvec3& e2, double& best,
                 Vec3& bestPoint) const
    {
        const Vec3 candidate = OnSphere(Normalized(p + t1 * e1 + t2 * e2));
        if (candidate == Direction(v) || candidate == bestPoint) return false;
        const double e = Energy(UnitOf(candidate));
        if (!(e < best) || !Positive(candidate)) return false;
        best = e;
        bestPoint = candidate;
        return true;
    }

    // Puts the vertex of an undone collapse inside the kernel of its ring:
    // the mean of its neighbours when that works, else a point just off the
    // kept vertex inside the wedge of its two new triangles, which exists
    // because the kept vertex sees the whole ring.
    bool Insert(const EdgeCollapse& collapse)
    {
        const int32_t v = collapse.removed, w = collapse.kept;
        PrepareRing(v);
        if (!guides_.empty() && Positive(guidePoints_[static_cast<size_t>(v)])) {
            directions_[static_cast<size_t>(v)] = guidePoints_[static_cast<size_t>(v)];
            Relax(v, 4);
            return true;
        }
        Dvec3 mean;
        for (const auto& ab : ring_) mean = mean + UnitOf(Direction(ab.first));
        Vec3 candidate = OnSphere(Normalized(mean));
        if (!Positive(candidate)) {
            const int32_t h = collapse.halfEdge, twin = Twin(mesh_, h);
            const Dvec3 kept = UnitOf(Direction(w));
            const Dvec3 x = UnitOf(Direction(Destination(mesh_, NextHalfEdge(h))));
            const Dvec3 y = UnitOf(Direction(Destination(mesh_, NextHalfEdge(twin))));
            Dvec3 inward = Normalized(Cross(kept, x)) + Normalized(Cross(y, kept));
            inward = Normalized(inward - Dot(inward, kept) * kept);
            const double reach = std::min(Norm(x - kept), Norm(y - kept));
            bool found = false;
            for (double epsilon = 0.5 * reach; epsilon > 1e-12 * reach && !found; epsilon *= 0.5) {
                candidate = OnSphere(Normalized(kept + epsilon * inward));
                found = Positive(candidate);
            }
            if (!found) return false;
            // Off the boundary: halfway to where the ray towards the mean
            // leaves the kernel.
            const Dvec3 start = UnitOf(candidate), towards = Normalized(mean) - start;
            double inside = 0.0, outside = 1.0;
            for (int i = 0; i < 30; ++i) {
                const double mid = 0.5 * (inside + outside);
                (Positive(OnSphere(Normalized(start + mid * towards))) ? inside : outside) = mid;
            }
            const Vec3 midway = OnSphere(Normalized(start + 0.5 * inside * towards));
            if (Positive(midway)) candidate = midway;
        }
        directions_[static_cast<size_t>(v)] = candidate;
        Relax(v, 4);
        return true;
    }

    const ModelTable& table_;
    const EmbedOptions& options_;
    const Progress& progress_;
    CollapseMesh mesh_;
    std::vector<Vec3> directions_;
    std::vector<int32_t> present_;
    std::vector<std::pair<int32_t, int32_t>> ring_;
    std::vector<Dvec3> normals_;
    std::vector<double> weights_;
    std::vector<double> shapeWeights_;
    std::vector<std::pair<Dvec3, Dvec3>> ringUnits_;
    std::vector<Dvec3> guides_;   // unit; empty without guides
    std::vector<Vec3> guidePoints_;  // on the sphere
    double guideStrength_ = 0.0;  // of the ring prepared last
    Dvec3 guide_;                 // its vertex's guide
    std::vector<uint32_t> mark_;
    uint32_t markRound_ = 0;
    double areaScale_ = 0.0;
    double floorShare_ = 0.0;
};

}  // namespace

SphericalEmbedding EmbedOnSphere(const ModelTable& table, const EmbedOptions& options, const Progress& progress)
{
    SphericalEmbedding result;
    result.error = CheckSphereTopology(table);
    if (!result.error.empty()) return result;
    std::string failure;
    std::vector<Vec3> directions;
    if (options.method == EmbedMethod::Tutte) {
        failure = TutteMapOnSphere(table, directions, progress);
    } else if (options.method == EmbedMethod::Conformal) {
        std::vector<Dvec3> units;
        failure = ConformalMapOnSphere(table, units, progress);
        if (failure.empty()) {
            directions.resize(units.size());
            for (size_t v = 0; v < units.size(); ++v) directions[v] = OnSphere(units[v]);
            failure = CheckEmbedding(table, directions);
        }
        if (failure.empty()) {
            HierarchicalEmbedder(table, options, progress).Spread(directions, options.finalSweeps);
        } else {
            result.statistics.fellBack = true;
            failure = HierarchicalEmbedder(table, options, progress).Run(directions, result.statistics);
        }
    } else {
        failure = HierarchicalEmbedder(table, options, progress).Run(directions, result.statistics);
    }
    if (failure.empty()) {
        if (progress) progress("check", 0.0);
        failure = CheckEmbedding(table, directions);
        if (progress) progress("check", 1.0);
    }
    if (!failure.empty()) {
        result.error = "no valid spherical embedding (" + failure + ")";
        return result;
    }
    const EmbedStatistics counts = result.statistics;
    result.statistics = MeasureEmbedding(table, directions);
    result.statistics.collapses = counts.collapses;
    result.statistics.retries = counts.retries;
    result.statistics.fellBack = counts.fellBack;
    result.directions = std::move(directions);
    return result;
}

}  // namespace vorlane
