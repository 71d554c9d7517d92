#include "prepare/prepare_mesh.h"

#include <algorithm>
#include <utility>

#include "embed/mesh_topology.h"
#include "embed/spherical_embedding.h"
#include "geometry/exact_predicates.h"
#include "prepare/central_crowding.h"
#include "prepare/fill_holes.h"
#include "prepare/kernel_centre.h"
#include "prepare/mesh_pieces.h"
#include "prepare/orient_outward.h"
#include "prepare/repair_mesh.h"
#include "prepare/weld_vertices.h"
#include "robust/float_range.h"
#include "robust/sphere_map_check.h"

namespace vorlane {

namespace {

Vec3 BoxMiddle(const ModelTable& table)
{
    if (table.vertices.empty()) return {};
    Vec3 lo = table.vertices.front(), hi = lo;
    for (const Vec3& v : table.vertices) {
        lo = {std::min(lo.x, v.x), std::min(lo.y, v.y), std::min(lo.z, v.z)};
        hi = {std::max(hi.x, v.x), std::max(hi.y, v.y), std::max(hi.z, v.z)};
    }
    // note: halves first, so two large coordinates cannot overflow.
    return {lo.x / 2 + hi.x / 2, lo.y / 2 + hi.y / 2, lo.z / 2 + hi.z / 2};
}

// True where the mesh has four corners or more and no triangle of no area
// (decided exactly).
bool EverySideHasArea(const ModelTable& table)
{
    if (table.vertices.size() < 4) return false;
    for (const Triangle& t : table.triangles) {
        const Vec3& a = table.vertices[static_cast<std::size_t>(t[0])];
        const Vec3& b = table.vertices[static_cast<std::size_t>(t[1])];
        const Vec3& c = table.vertices[static_cast<std::size_t>(t[2])];
        if (FacingSign(a, b, c, a, b, c) <= 0) return false;
    }
    return true;
}

// The rest of preparing, for a mesh welded, repaired and filled: turned
// outward, checked, centred and mapped onto the sphere.
PreparedModel OnSphere(ModelTable table, const PrepareOptions& options, const std::string& name, const Progress& progress)
{
    PreparedModel prepared;
    // note: a mesh wound the other way round throughout is still the mesh.
    OrientOutward(table);
    if (options.embedding != EmbeddingChoice::Central) {
        SplitPinchedVertices(table);
        const std::string topology = CheckSphereTopology(table);
        if (!topology.empty()) {
            prepared.error = name + ": " + topology;
            return prepared;
        }
    }
    if (options.embedding != EmbeddingChoice::Spherical) {
        Vec3 chosen;
        std::string problem;
        if (options.centre) {
            chosen = *options.centre;
        } else {
            const std::string phase = "finding the centre of " + name;
            if (progress) progress(phase, 0.0);
            const KernelCentreResult found = FindKernelCentre(table);
            if (progress) progress(phase, 1.0);
            problem = found.error;
            chosen = found.centre;
            // A flat sheet closed by its patch (a sprite, a decal) is a
            // sphere in topology, so auto embeds it; one with triangles of
            // no area, or too few corners to embed, is no better there.
            const bool flatSheet = found.problem == CentreProblem::NoVolume &&
                                   options.embedding == EmbeddingChoice::Auto && EverySideHasArea(table);
            if (!flatSheet && (found.problem == CentreProblem::NoVolume || found.problem == CentreProblem::Collapsed)) {
                prepared.error = name + ": " + problem;
                return prepared;
            }
        }
        if (problem.empty()) {
            prepared.model = BuildPolyhedron(table, chosen);
            if (std::string range = CheckFloatRange(prepared.model); !range.empty()) {
                prepared.error = name + ": " + range;
                return prepared;
            }
            // Auto keeps the central map only where the merge can take it,
            // and only where it does not pile most of the surface up in
            // little of the sphere (a long tube seen from inside).
            if (options.embedding == EmbeddingChoice::Central) return prepared;
            // note: the topology checks above leave the mesh closed and oriented.
            if (CoversSphereOnce(prepared.model) && CrowdedShare(prepared.model) <= MostlyCrowded) return prepared;
        } else if (options.embedding == EmbeddingChoice::Central) {
            prepared.error = name + ": " + problem;
            return prepared;
        }
    }
    const std::string phase = "embedding " + name;
    SphericalEmbedding embedding = EmbedOnSphere(table, {}, [&](std::string_view step, double fraction) {
        if (progress) progress(phase + " (" + std::string(step) + ")", fraction);
    });
    if (!embedding.error.empty()) {
        prepared.error = name + ": " + embedding.error;
        return prepared;
    }
    prepared.model = BuildPolyhedron(table, options.centre.value_or(BoxMiddle(table)));
    prepared.model.spherePoints = std::move(embedding.directions);
    prepared.model.map = SphereMap::Spherical;
    if (std::string range = CheckFloatRange(prepared.model); !range.empty()) prepared.error = name + ": " + range;
    return prepared;
}

}  // namespace

const char* EmbeddingName(EmbeddingChoice choice)
{
    switch (choice) {
    case EmbeddingChoice::Central:
        return "central";
    case EmbeddingChoice::Spherical:
        return "spherical";
    case EmbeddingChoice::Auto:
        break;
    }
    return "auto";
}

bool ParseEmbeddingChoice(const std::string& name, EmbeddingChoice& choice)
{
    for (const EmbeddingChoice c : {EmbeddingChoice::Auto, EmbeddingChoice::Central, EmbeddingChoice::Spherical}) {
        if (name == EmbeddingName(c)) {
            choice = c;
            return true;
        }
    }
    return false;
}

bool ParseHoleChoice(const std::string& name, HoleChoice& choice)
{
    if (name != "fill" && name != "refuse") return false;
    choice = name == "fill" ? HoleChoice::Fill : HoleChoice::Refuse;
    return true;
}

const char* SphereMapName(SphereMap map)
{
    return map == SphereMap::Central ? "central" : "spherical";
}

PreparedModel PrepareMesh(ModelTable table, const PrepareOptions& options, const std::string& name,
                          const Progress& progress)
{
    PreparedModel prepared;
    if (std::string problem = CheckFiniteTable(table); !problem.empty()) {
        prepared.error = name + ": " + problem;
        return prepared;
    }
    WeldResult weld = WeldVertices(table, options.weld);
    prepared.repairs.welded = weld.welded;
    prepared.renumbered = std::move(weld.renumbered);
    if (table.triangles.empty()) {
        prepared.error = name + ": no faces are left once the corners at one place are joined";
        return prepared;
    }
    const RepairReport repair = RepairMesh(table);
    prepared.repairs.duplicates = repair.duplicates;
    prepared.repairs.splitEdges = repair.splitEdges;
    prepared.repairs.flipped = repair.flipped;
    if (!repair.error.empty()) {
        prepared.error = name + ": " + repair.error;
        return prepared;
    }
    if (options.holes == HoleChoice::Fill) {
        const HoleFilling filling = FillHoles(table);
        prepared.repairs.filled = filling.loops;
        if (!filling.error.empty()) {
            prepared.error = name + ": " + filling.error;
            return prepared;
        }
    }
    if (options.pieces) {
        std::vector<MeshPiece> pieces = SplitPieces(table);
        for (std::size_t k = 0; k < pieces.size(); ++k) {
            PrepareOptions own = options;
            own.centre.reset();
            const std::string label = name + " (piece " + std::to_string(k) + " of " + std::to_string(pieces.size()) + ")";
            PreparedModel piece = OnSphere(std::move(pieces[k].table), own, label, progress);
            if (!piece.error.empty()) {
                prepared.error = std::move(piece.error);
                prepared.pieces.clear();
                return prepared;
            }
            prepared.pieces.push_back({std::move(piece.model), std::move(pieces[k].vertices)});
        }
        if (!prepared.pieces.empty()) return prepared;
    }
    PreparedModel mapped = OnSphere(std::move(table), options, name, progress);
    prepared.error = std::move(mapped.error);
    prepared.model = std::move(mapped.model);
    return prepared;
}

}  // namespace vorlane
