// The crossings of the two networks, by walks along every source arc.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "base/huge_pages.h"
#include "base/two_halves.h"
#include "robust/overlay.h"

namespace vorlane {
namespace {

// What the walks along some source arcs met, numbered as if they were
// the first.
struct ArcWalks {
    std::vector<Crossing> crossings;
    std::vector<int32_t> walked;
    std::vector<int32_t> first;
    std::vector<int32_t> met;  // scratch of one walk
};

// The crossings and target vertices met inside one source arc, in order
// along it; where its ends lie is known by now.
void WalkSourceArc(const OverlayMeshes& meshes, const VertexPlaces& places, int32_t arc, ArcWalks& out)
{
    const WalkMesh& source = meshes.source;
    const WalkMesh& target = meshes.target;
    const IndexPair& e = source.arcs[static_cast<size_t>(arc)];
    out.met.clear();
    // note: a copy, so the walks share nothing they write; every end is placed by now.
    Location end = places.sourceOnTarget[static_cast<size_t>(e.to)];
    WalkArc(target, source.Point(e.from), source.Point(e.to), places.sourceOnTarget[static_cast<size_t>(e.from)], end, out.met);
    for (const int32_t side : out.met) {
        if (side < 0) {
            out.walked.push_back(side);
            continue;
        }
        // The walk crosses a side from its start on the arc's right to
        // its end on the left.
        const int32_t targetArc = target.sideArc[static_cast<size_t>(side)];
        const bool endOnLeft = target.arcs[static_cast<size_t>(targetArc)].to == target.Corner(WalkMesh::After(side, 1));
        out.walked.push_back(static_cast<int32_t>(out.crossings.size()));
        out.crossings.push_back({arc, targetArc, endOnLeft});
    }
}

// Walks source arcs begin up to end; reports progress as a share of
// reportOf arcs, unless 0.
void WalkSourceArcs(const OverlayMeshes& meshes, const VertexPlaces& places, int32_t begin, int32_t end, ArcWalks& out, double reportOf,
                    const OverlayRun& run)
{
    for (int32_t arc = begin; arc < end; ++arc) {
        out.first.push_back(static_cast<int32_t>(out.walked.size()));
        WalkSourceArc(meshes, places, arc, out);
        if (reportOf > 0.0 && (arc & 0xffff) == 0xffff) run.Report("crossings", std::min(1.0, arc / reportOf));
    }
}

}  // namespace

ArcCrossings FindCrossings(const OverlayMeshes& meshes, const VertexPlaces& places, const OverlayRun& run)
{
    ArcCrossings found;
    // Two models of like density cross about once per arc; growing from
    // there copies less than growing from nothing.
    ReserveHuge(found.crossings, meshes.source.arcs.size() + meshes.target.arcs.size());
    ReserveHuge(found.walked, meshes.source.arcs.size() + meshes.target.arcs.size());
    found.walkedFirst.reserve(meshes.source.arcs.size() + 1);
    // Walks only read the target and where arcs start and end, once every
    // vertex is placed; then the arcs can be walked from both ends at once,
    // those from the back appended, renumbered, as if walked after. The
    // work per arc varies (an icosphere's first half of arcs took twice as
    // long as its second), so the ends meet where it is even.
    bool placed = true;
    for (size_t v = 0; v < places.sourceOnTarget.size(); ++v) placed = placed && (!places.used[0][v] || places.sourceOnTarget[v].index >= 0);
    const bool parallel = placed && run.threads > 1;
    // note: two walks' tables side by side would share the line their every push writes.
    OwnCacheLine<ArcWalks> front{{std::move(found.crossings), std::move(found.walked), std::move(found.walkedFirst), {}}};
    // The back's stretches, last first, one after another in back; each
    // begins where its sizes were. note: one table grown as it goes: a
    // table per stretch, or one reserved ahead, left the heap in holes that
    // raised a level-8 merge's peak by about 100 MB.
    OwnCacheLine<ArcWalks> back;
    struct Sizes {
        size_t crossings, walked, first;
    };
    std::vector<Sizes> stretches;
    const size_t arcs = static_cast<size_t>(meshes.SourceArcCount());
    // note: at an even split the front would end halfway.
    const double expected = parallel ? static_cast<double>(arcs) / 2 : static_cast<double>(arcs);
    FromBothEnds(parallel ? 2 : 1, arcs, 4096, [&](size_t begin, size_t end, bool fromFront) {
        if (fromFront) {
            WalkSourceArcs(meshes, places, static_cast<int32_t>(begin), static_cast<int32_t>(end), front, expected, run);
            return;
        }
        stretches.push_back({back.crossings.size(), back.walked.size(), back.first.size()});
        WalkSourceArcs(meshes, places, static_cast<int32_t>(begin), static_cast<int32_t>(end), back, 0.0, run);
    });
    stretches.push_back({back.crossings.size(), back.walked.size(), back.first.size()});
    found.crossings = std::move(front.crossings);
    found.walked = std::move(front.walked);
    found.walkedFirst = std::move(front.first);
    for (size_t k = stretches.size() - 1; k-- > 0;) {
        const Sizes& from = stretches[k];
        const Sizes& to = stretches[k + 1];
        const int32_t crossingShift = static_cast<int32_t>(found.crossings.size()) - static_cast<int32_t>(from.crossings);
        const int32_t walkedShift = static_cast<int32_t>(found.walked.size()) - static_cast<int32_t>(from.walked);
        found.crossings.insert(found.crossings.end(), back.crossings.begin() + static_cast<std::ptrdiff_t>(from.crossings),
                               back.crossings.begin() + static_cast<std::ptrdiff_t>(to.crossings));
        for (size_t i = from.walked; i < to.walked; ++i) {
            found.walked.push_back(back.walked[i] >= 0 ? back.walked[i] + crossingShift : back.walked[i]);
        }
        for (size_t i = from.first; i < to.first; ++i) found.walkedFirst.push_back(back.first[i] + walkedShift);
    }
    found.walkedFirst.push_back(static_cast<int32_t>(found.walked.size()));
    return found;
}

}  // namespace vorlane
