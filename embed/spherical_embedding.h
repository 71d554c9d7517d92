// A map of any closed, manifold, genus-0 triangle mesh onto the common
// sphere, one direction per vertex, with every triangle positively oriented
// by the exact Orient3 and the triangles covering the sphere exactly once.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "base/progress.h"
#include "geometry/polyhedron.h"
#include "geometry/vec3.h"

namespace vorlane {

enum class EmbedMethod {
    // Coarse to fine: the mesh is collapsed edge by edge down to a
    // tetrahedron, which sits on the sphere, and the vertices come back one
    // by one, each inside the region where its new triangles all stay
    // positive, while the area each triangle gets on the sphere is pulled
    // towards its share of the surface. Spreads area; the default.
    Hierarchical,
    // A plain Tutte map (uniform weights) of the mesh less its largest
    // triangle onto an equilateral triangle, sent to the sphere by inverse
    // stereographic projection and Moebius-centred. Long parts become
    // specks; kept for comparison.
    Tutte,
    // A conformal map (conformal_map.h), one sparse factorisation, rounded
    // to float, then the area spreading and even sides of Hierarchical,
    // sweeping over all vertices at once finalSweeps times. Where the
    // rounded map fails the exact check (parts squeezed below float
    // resolution), Hierarchical instead, and the statistics say so. Not the
    // pipeline's choice: sweeps spread area only locally, so limbs stay
    // specks (the 1st percentile of the area ratio 4e-8 on CGAL's armadillo
    // against 0.36 coarse to fine).
    Conformal,
};

struct EmbedOptions {
    EmbedMethod method = EmbedMethod::Hierarchical;
    // Share of the sphere that every triangle gets regardless of its area:
    // the target of a triangle is (1 - floor) * its share of the surface
    // + floor / F. Keeps slivers and zero-area triangles off float resolution.
    double areaFloor = 0.1;
    // Relaxation sweeps over all vertices after the last vertex is back.
    int finalSweeps = 3;
    // Hierarchical only: where each vertex should lie, a direction (any
    // length) per vertex, say from another mesh of the same shape; empty
    // for none. Vertices come back at their guide where their kernel holds
    // it, and relaxing pulls each towards its guide with guideWeight
    // against the pull of the areas (about even at 1).
    std::vector<Vec3> guides;
    double guideWeight = 4.0;
    // Hierarchical only: how much each triangle's target also asks it to
    // keep its sides even (the sum of its squared sides over its det).
    // Areas alone leave long thin spherical triangles, whose long arcs
    // cross the other mesh's many times: at 0.003 a pair of real meshes
    // of 50,000 triangles each has 2.5 times fewer crossings, and 98 % of
    // the area or more stays within tenfold of its share.
    double shapeWeight = 0.003;
};

struct EmbedStatistics {
    // Smallest solid angle of a triangle over 4 pi.
    double smallestShare = 0.0;
    // Percentiles over the triangles of (solid angle / 4 pi) / (area / total
    // area); a triangle of zero area counts as infinitely large.
    double ratioPercentile1 = 0.0;
    double ratioPercentile99 = 0.0;
    // Share of the surface area held by triangles whose ratio is within a
    // factor of 10 of 1.
    double areaWithinTenfold = 0.0;
    int collapses = 0;  // Hierarchical: vertices removed and put back
    int retries = 0;    // Hierarchical: placements tried again after relaxing around them
    bool fellBack = false;  // Conformal: the conformal map failed the check, Hierarchical ran
};

struct SphericalEmbedding {
    // Empty on success. Otherwise the topology check's line, or "no valid
    // spherical embedding (...)"; directions are then empty.
    std::string error;
    // One float point per vertex on the sphere of radius SphereRadius about
    // SphereCentre (to float rounding).
    std::vector<Vec3> directions;
    EmbedStatistics statistics;
};

// Embeds the mesh after CheckSphereTopology accepts it (pinched vertices are
// refused: split them first with SplitPinchedVertices). On success every
// triangle (a, b, c) of the table has Orient3(d[a], d[b], d[c]) > 0 and the
// solid angles add up to 4 pi, so the spherical triangles tile the sphere.
// progress hears of the phases "simplify", "insert", "relax", "tutte",
// "conformal" and "check".
SphericalEmbedding EmbedOnSphere(const ModelTable& table, const EmbedOptions& options = {},
                                 const Progress& progress = {});

// The statistics above for any directions (one per vertex) of the table.
EmbedStatistics MeasureEmbedding(const ModelTable& table, const std::vector<Vec3>& directions);

// Empty when every triangle is positive by the exact Orient3 and the solid
// angles add up to 4 pi; otherwise the first triangle that is not, or the
// number of times the sphere is covered.
std::string CheckEmbedding(const ModelTable& table, const std::vector<Vec3>& directions);

}  // namespace vorlane
