#include "merge/flat_triangles.h"

#include <cstddef>
#include <utility>
#include <vector>

#include "merge/flat_repair.h"

namespace vorlane {

using namespace flat_repair;

bool IsFlatTriangle(const MorphMesh& mesh, int32_t a, int32_t b, int32_t c)
{
    const Ends ends(mesh);
    return ends.Flat(0, a, b, c) || ends.Flat(1, a, b, c);
}

FlatRepair RepairFlatTriangles(MorphMesh& mesh, int threads)
{
    FlatRepair repair;
    const Ends ends(mesh);
    bool trianglesOnly = true;
    std::vector<std::size_t> flat = FindFlat(mesh, ends, threads, trianglesOnly);
    if (!trianglesOnly || flat.empty()) return repair;
    // note: twins and outgoing half-edges are joined only around the flat
    // triangles, round by round (Reach), and read nowhere else.
    TriangleConnectivity net;
    net.triangles.reserve(mesh.faces.size());
    for (const MeshFace& f : mesh.faces) net.triangles.push_back({f.indices[0], f.indices[1], f.indices[2]});
    net.twin.assign(3 * net.triangles.size(), -1);
    net.outgoing.assign(mesh.startPositions.size(), -1);

    std::vector<int32_t> rep(mesh.startPositions.size());
    for (std::size_t v = 0; v < rep.size(); ++v) rep[v] = static_cast<int32_t>(v);
    std::vector<std::size_t> changed;
    Reach reach(rep.size());
    repair.collapsed = CollapseCoincident(mesh, net, reach, rep, flat, changed);
    flat = FlatAgain(ends, net.triangles, flat, changed);
    // The overlay's edges come sorted.
    std::vector<IndexPair> edges = std::move(mesh.edges);
    if (repair.collapsed > 0) FollowCollapses(edges, rep);
    // note: a collapse can leave a flat triangle a flip now mends, and the
    // other way round; a few passes of both.
    for (int pass = 0; pass < 4; ++pass) {
        const int32_t flipped = FlipFlat(mesh, ends, net, reach, edges, flat);
        const int32_t shortened = CollapseShortSides(ends, net, reach, rep, flat);
        repair.flipped += flipped;
        repair.collapsed += shortened;
        if (shortened > 0) FollowCollapses(edges, rep);
        if (flipped + shortened == 0) break;
    }
    const std::vector<int32_t> number = WriteBack(mesh, net.triangles, std::move(edges), threads);
    // note: the kept vertices span no more than all did, so a triangle flat
    // now was flat before and is in the list.
    const Ends after(mesh);
    for (const std::size_t t : flat) {
        const Triangle& c = net.triangles[t];
        if (c[0] < 0) continue;
        const int32_t a = At(number, c[0]), b = At(number, c[1]), d = At(number, c[2]);
        const bool atStart = after.Flat(0, a, b, d), atEnd = after.Flat(1, a, b, d);
        repair.remaining += atStart || atEnd;
        repair.remainingAtStart += atStart;
        repair.remainingAtEnd += atEnd;
    }
    return repair;
}

}  // namespace vorlane
