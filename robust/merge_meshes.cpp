#include "robust/merge_meshes.h"

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

Overlay::Overlay(const Polyhedron& source, const Polyhedron& target, const MergeProgress& progress, int threads, Polygons polygons)
    : sourceModel_(source), targetModel_(target), progress_(progress), threads_(threads), keepPolygons_(polygons == Polygons::Keep)
{
    // The two walk meshes are independent: one on each core.
    BothAtOnce(threads_ > 1, [&] { source_ = MakeWalkMesh(source); }, [&] { target_ = MakeWalkMesh(target); });
}

MeshMergeResult Overlay::Run()
{
    Report("locating vertices", 0.0);
    LocateVertices();
    Report("crossings", 0.0);
    FindCrossings();
    source_.EndWalks();
    target_.EndWalks();
    NumberVertices();
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

MeshMergeResult MergeMeshes(const Polyhedron& source, const Polyhedron& target, const MergeProgress& progress, int threads,
                            Polygons polygons)
{
    return Overlay(source, target, progress, threads, polygons).Run();
}

}  // namespace vorlane
