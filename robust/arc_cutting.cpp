
#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdint>
#include <numeric>
#include <utility>
#include <vector>

#include "base/huge_pages.h"
#include "base/two_halves.h"
#include "geometry/exact_predicates.h"
#include "geometry/fan.h"
#include "robust/overlay.h"
#include "robust/ray_points.h"

namespace vorlane {

void Overlay::NumberVertices()
{
    const int32_t s = static_cast<int32_t>(source_.model->vertices.size());
    const int32_t t = static_cast<int32_t>(target_.model->vertices.size());
    targetVertex_.assign(static_cast<size_t>(t), -1);
    vertexCount_ = s;
    for (int32_t v = 0; v < t; ++v) {
        if (!used_[1][static_cast<size_t>(v)]) continue;
        const Location& where = targetOnSource_[static_cast<size_t>(v)];
        targetVertex_[static_cast<size_t>(v)] = where.kind == Location::AtVertex ? where.index : vertexCount_++;
    }
    crossingBase_ = vertexCount_;
    vertexCount_ += static_cast<int32_t>(crossings_.size());
    // Directions of the merged vertices that come from the target alone.
    targetDirection_.assign(static_cast<size_t>(crossingBase_), Vec3{});
    for (size_t v = 0; v < targetVertex_.size(); ++v) {
        if (targetVertex_[v] >= s) targetDirection_[static_cast<size_t>(targetVertex_[v])] = target_.Point(static_cast<int32_t>(v));
    }
}

std::vector<bool> Overlay::UsedVertices(const Polyhedron& model)
{
    std::vector<bool> used(model.vertices.size(), false);
    for (const Triangle& f : model.faces) {
        for (int32_t v : f) used[static_cast<size_t>(v)] = true;
    }
    return used;
}

void Overlay::CutArcs()
{
    GroupPointsByArc();
    // Each arc sorts its own points: the target's arcs from both ends.
    const size_t targetArcs = target_.arcs.size();
    FromBothEnds(threads_, targetArcs, 4096, [&](size_t begin, size_t end, bool) {
        std::vector<Along> along;
        for (size_t arc = begin; arc < end; ++arc) SortAlongArc(SourceArcCount() + static_cast<int32_t>(arc), along);
    });
    FillSpokes(CountSpokes());
    Release(arcFirst_);
    Release(onArc_);
}

void Overlay::GroupPointsByArc()
{
    const size_t sourceArcs = static_cast<size_t>(SourceArcCount());
    arcFirst_.assign(static_cast<size_t>(ArcCount()) + 1, 0);
    std::copy(walkedFirst_.begin(), walkedFirst_.end(), arcFirst_.begin());
    ForEachPointOnTargetArc([&](int32_t arc, int32_t) { ++arcFirst_[static_cast<size_t>(arc) + 1]; });
    std::partial_sum(arcFirst_.begin() + static_cast<std::ptrdiff_t>(sourceArcs), arcFirst_.end(),
                     arcFirst_.begin() + static_cast<std::ptrdiff_t>(sourceArcs));
    ReserveHuge(onArc_, static_cast<size_t>(arcFirst_.back()), threads_);
    onArc_.resize(static_cast<size_t>(arcFirst_.back()));
    for (size_t i = 0; i < walked_.size(); ++i) {
        const int32_t point = walked_[i];
        onArc_[i] = point >= 0 ? crossingBase_ + point : targetVertex_[static_cast<size_t>(~point)];
    }
    Release(walked_);
    Release(walkedFirst_);
    std::vector<int32_t> fill(arcFirst_.begin() + static_cast<std::ptrdiff_t>(sourceArcs), arcFirst_.end() - 1);
    ForEachPointOnTargetArc(
        [&](int32_t arc, int32_t vertex) { onArc_[static_cast<size_t>(fill[static_cast<size_t>(arc) - sourceArcs]++)] = vertex; });
}

void Overlay::SortAlongArc(int32_t arc, std::vector<Along>& along)
{
    const IndexPair& e = ArcOf(arc);
    const Vec3& p = SideOf(arc).Point(e.from);
    const Vec3& q = SideOf(arc).Point(e.to);
    int32_t* points = onArc_.data() + arcFirst_[static_cast<size_t>(arc)];
    const int32_t n = arcFirst_[static_cast<size_t>(arc) + 1] - arcFirst_[static_cast<size_t>(arc)];
    if (n < 2 || SortedByParameter(arc, p, q, points, n, along)) return;
    if (n > FanSearchDegree) {
        // Points on one arc lie at distinct places: a stable sort orders as
        // the insertion below does, in n log n comparisons.
        std::stable_sort(points, points + n, [&](int32_t a, int32_t b) {
            return CompareAlongArc(p, q, EventOn(arc, a), EventOn(arc, b)) > 0;
        });
        return;
    }
    for (int32_t i = 1; i < n; ++i) {
        for (int32_t j = i; j > 0 && CompareAlongArc(p, q, EventOn(arc, points[j]), EventOn(arc, points[j - 1])) > 0; --j) {
            std::swap(points[j], points[j - 1]);
        }
    }
}

bool Overlay::SortedByParameter(int32_t arc, const Vec3& p, const Vec3& q, int32_t* points, int32_t n, std::vector<Along>& along_) const
{
    along_.resize(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i) {
        if (points[i] < crossingBase_) return false;
        const ArcEvent event = EventOn(arc, points[i]);
        Along& here = along_[static_cast<size_t>(i)];
        here.vertex = points[i];
        if (!CrossingParameter(p, q, event.c, event.d, here.t, here.error)) return false;
    }
    if (n > FanSearchDegree) {
        std::stable_sort(along_.begin(), along_.end(), [](const Along& a, const Along& b) { return a.t < b.t; });
    } else {
        for (size_t i = 1; i < along_.size(); ++i) {
            for (size_t j = i; j > 0 && along_[j].t < along_[j - 1].t; --j) std::swap(along_[j], along_[j - 1]);
        }
    }
    for (size_t i = 1; i < along_.size(); ++i) {
        if (!(along_[i].t - along_[i - 1].t > (along_[i].error + along_[i - 1].error) * (1.0 + 1e-6))) return false;
    }
    for (int32_t i = 0; i < n; ++i) points[i] = along_[static_cast<size_t>(i)].vertex;
    return true;
}

std::vector<int32_t> Overlay::CountSpokes()
{
    firstSpoke_.assign(static_cast<size_t>(vertexCount_) + 1, 0);
    auto count = [&](int32_t arcBegin, int32_t arcEnd) {
        for (int32_t arc = arcBegin; arc < arcEnd; ++arc) {
            const IndexPair& e = ArcOf(arc);
            ++firstSpoke_[static_cast<size_t>(MergedVertex(arc, e.from)) + 1];
            ++firstSpoke_[static_cast<size_t>(MergedVertex(arc, e.to)) + 1];
        }
        for (int32_t i = arcFirst_[static_cast<size_t>(arcBegin)]; i < arcFirst_[static_cast<size_t>(arcEnd)]; ++i) {
            firstSpoke_[static_cast<size_t>(onArc_[static_cast<size_t>(i)]) + 1] += 2;
        }
    };
    count(0, SourceArcCount());
    std::vector<int32_t> targetFirst(firstSpoke_.begin() + 1, firstSpoke_.end());
    count(SourceArcCount(), ArcCount());
    std::partial_sum(firstSpoke_.begin(), firstSpoke_.end(), firstSpoke_.begin());
    for (size_t v = 0; v < targetFirst.size(); ++v) targetFirst[v] += firstSpoke_[v];
    return targetFirst;
}

void Overlay::FillSpokes(std::vector<int32_t> targetFirst)
{
    ReserveHuge(spokes_, static_cast<size_t>(firstSpoke_.back()), threads_);
    spokes_.resize(static_cast<size_t>(firstSpoke_.back()));
    auto fillArcs = [&](int32_t arcBegin, int32_t arcEnd, std::vector<int32_t>& fill) {
        auto add = [&](int32_t from, int32_t to, int32_t ray) {
            const int8_t slot = CrossingSlot(from, ray / 2 < SourceArcCount(), ray % 2 == 0);
            // A crossing lies inside one arc of each model: exactly four spokes.
            assert(slot < 0 || firstSpoke_[static_cast<size_t>(from) + 1] - firstSpoke_[static_cast<size_t>(from)] == 4);
            const int32_t at = slot >= 0 ? firstSpoke_[static_cast<size_t>(from)] + slot : fill[static_cast<size_t>(from)]++;
            spokes_[static_cast<size_t>(at)] = {to, ray};
        };
        for (int32_t arc = arcBegin; arc < arcEnd; ++arc) {
            const IndexPair& e = ArcOf(arc);
            int32_t previous = MergedVertex(arc, e.from);
            auto link = [&](int32_t next) {
                add(previous, next, 2 * arc);
                add(next, previous, 2 * arc + 1);
                previous = next;
            };
            for (int32_t i = arcFirst_[static_cast<size_t>(arc)]; i < arcFirst_[static_cast<size_t>(arc) + 1]; ++i) {
                link(onArc_[static_cast<size_t>(i)]);
            }
            link(MergedVertex(arc, e.to));
        }
    };
    BothAtOnce(
        threads_ > 1,
        [&] {
            std::vector<int32_t> fill(firstSpoke_.begin(), firstSpoke_.end() - 1);
            fillArcs(0, SourceArcCount(), fill);
        },
        [&] { fillArcs(SourceArcCount(), ArcCount(), targetFirst); });
}

}  // namespace vorlane
