#include "robust/merge_meshes.h"

#include <vector>

#include "base/huge_pages.h"
#include "base/two_halves.h"
#include "geometry/exact_predicates.h"
#include "geometry/fan.h"
#include "robust/overlay.h"
#include "robust/ray_points.h"

namespace vorlane {

OverlayMeshes::OverlayMeshes(const Polyhedron& sourceModel_, const Polyhedron& targetModel_, const OverlayRun& run)
    : sourceModel(sourceModel_), targetModel(targetModel_)
{
    // The two walk meshes are independent: one on each core.
    BothAtOnce(run.threads > 1, [&] { source = MakeWalkMesh(sourceModel); }, [&] { target = MakeWalkMesh(targetModel); });
}

MeshMergeResult MergeMeshes(const Polyhedron& source, const Polyhedron& target, const Progress& progress, int threads,
                            Polygons polygons)
{
    const OverlayRun run{progress, threads, polygons == Polygons::Keep};
    OverlayMeshes meshes(source, target, run);
    run.Report("locating vertices", 0.0);
    VertexPlaces places = PlaceVertices(meshes, run);
    run.Report("crossings", 0.0);
    ArcCrossings crossings = FindCrossings(meshes, places, run);
    meshes.source.EndWalks();
    meshes.target.EndWalks();
    const MergedVertices merged = NumberVertices(meshes, places, crossings);
    run.Report("cutting edges", 0.0);
    SpokeTable spokes = CutArcs(meshes, places, crossings, merged, run);
    run.Report("faces", 0.0);
    Rings rings = SortAroundVertices(spokes, meshes, merged, run);
    MeshMergeResult result;
    WalkFaces(rings, run, result);
    run.Report("positions", 0.0);
    Assemble(rings, meshes, places, crossings, merged, run, result);
    run.Report("positions", 1.0);
    return result;
}

}  // namespace vorlane
