#include "pipeline/morph_job.h"

#include <mutex>
#include <string>
#include <utility>

#include "base/two_halves.h"
#include "files/input_file.h"
#include "geometry/model_catalogue.h"
#include "io/mesh_reader.h"
#include "merge/common_patches.h"
#include "merge/open_edges.h"
#include "pipeline/morph_colours.h"
#include "pipeline/piece_morph.h"
#include "prepare/follow_correspondence.h"
#include "prepare/follow_shape.h"
#include "prepare/weld_vertices.h"

namespace vorlane {

namespace {

struct LoadedModel {
    std::string error;
    bool builtIn = false;
    Polyhedron model;
    std::vector<int32_t> renumbered;  // by vertex of the file, its vertex in model (see MeshReadResult)
    std::vector<Vec3> colours;        // by vertex of model, where the file gives colours
    std::vector<std::string> warnings;  // what the file's reading left out
    MeshRepairs repairs;
    ShapePieces pieces;  // where the file is in several pieces; model is then empty
};

LoadedModel Load(const std::string& argument, const std::optional<ModelTable>& given, const std::optional<Vec3>& centre,
                 EmbeddingChoice embedding, const MorphRequest& request, const Progress& progress)
{
    LoadedModel loaded;
    if (!given) {
        if (const CatalogueEntry* entry = FindCatalogueModel(argument)) {
            loaded.builtIn = true;
            loaded.model = entry->build(centre.value_or(Vec3{}));
            return loaded;
        }
    }
    MeshReadResult read;
    if (given) {
        read.table = *given;
    } else {
        if (progress) progress("reading " + argument, 0.0);
        read = ReadMeshFile(argument, progress);
        if (progress) progress("reading " + argument, 1.0);
    }
    if (!read.error.empty()) {
        loaded.error = read.error;
        return loaded;
    }
    loaded.renumbered = std::move(read.renumbered);
    loaded.warnings = std::move(read.warnings);
    // note: landmarks name vertices of one mesh, so a mesh in pieces is refused with them.
    PreparedModel prepared = PrepareMesh(std::move(read.table),
                                         {centre, embedding, request.holes, request.weld, request.landmarks.empty()},
                                         argument, progress);
    loaded.error = std::move(prepared.error);
    loaded.model = std::move(prepared.model);
    if (loaded.error.empty() && prepared.pieces.empty())
        loaded.colours = ColoursOfModel(loaded.model, CarriedOver(read.colours, prepared.renumbered));
    if (loaded.error.empty() && !prepared.pieces.empty()) {
        const std::vector<Vec3> welded = CarriedOver(read.colours, prepared.renumbered);
        for (PreparedPiece& piece : prepared.pieces) {
            std::vector<Vec3> own;
            if (!welded.empty())
                for (const int32_t v : piece.vertices) own.push_back(welded[static_cast<std::size_t>(v)]);
            loaded.pieces.colours.push_back(ColoursOfModel(piece.model, own));
            loaded.pieces.pieces.push_back(std::move(piece.model));
        }
    }
    loaded.repairs = prepared.repairs;
    // note: STL and a table given in memory number vertices as the table does.
    if (loaded.renumbered.empty()) {
        loaded.renumbered = std::move(prepared.renumbered);
    } else {
        ComposeRenumbering(loaded.renumbered, prepared.renumbered);
    }
    return loaded;
}

// The job's own copy of a model it must change, made from the request's
// where the request gave one.
Polyhedron& Own(std::unique_ptr<Polyhedron>& owned, const Polyhedron* given)
{
    if (!owned) owned = std::make_unique<Polyhedron>(*given);
    return *owned;
}

SphereMesh OnSphere(const Polyhedron& model)
{
    return {&model.vertices, model.map == SphereMap::Central ? &model.vertices : &model.spherePoints, &model.faces};
}

// Turns the target's sphere to meet the source's; the target's surface
// points then follow its directions by barycentric weights.
std::string Align(const Polyhedron& source, Polyhedron& target, const std::vector<LandmarkPair>& landmarks, MorphJob& job)
{
    Alignment alignment = AlignTarget(OnSphere(source), OnSphere(target), landmarks);
    if (!alignment.error.empty()) return "landmarks: " + alignment.error;
    target.spherePoints = std::move(alignment.directions);
    target.map = SphereMap::Spherical;
    job.alignment = alignment.method;
    job.alignmentFellBack = alignment.fellBack;
    return {};
}

// Landmarks as the files number vertices, in the tables' numbering, which
// drops unused vertices and numbers the rest by first use. A number past
// the file's vertices is kept, for the alignment to refuse by its own.
std::string InTableNumbering(const std::vector<LandmarkPair>& given, const std::vector<int32_t>& sourceSlots,
                             const std::vector<int32_t>& targetSlots, std::vector<LandmarkPair>& landmarks)
{
    const auto inFile = [](int32_t v, const std::vector<int32_t>& slots) {
        return v >= 0 && static_cast<std::size_t>(v) < slots.size();
    };
    const auto translate = [&](int32_t v, const std::vector<int32_t>& slots) {
        return inFile(v, slots) ? slots[static_cast<std::size_t>(v)] : v;
    };
    for (std::size_t k = 0; k < given.size(); ++k) {
        const LandmarkPair pair{translate(given[k].source, sourceSlots), translate(given[k].target, targetSlots)};
        const bool sourceUnused = inFile(given[k].source, sourceSlots) && pair.source < 0;
        const bool targetUnused = inFile(given[k].target, targetSlots) && pair.target < 0;
        if (sourceUnused || targetUnused) {
            const bool source = sourceUnused;
            return "landmarks: landmark " + std::to_string(k + 1) + " names " + (source ? "source" : "target") + " vertex " +
                   std::to_string(source ? given[k].source : given[k].target) + ", which no face of the file uses";
        }
        landmarks.push_back(pair);
    }
    return {};
}

// A model of one piece as the only piece of its shape.
ShapePieces AsPieces(LoadedModel& loaded, const Polyhedron* given)
{
    if (!loaded.pieces.pieces.empty()) return std::move(loaded.pieces);
    ShapePieces one;
    one.pieces.push_back(given ? *given : std::move(loaded.model));
    one.colours.push_back(std::move(loaded.colours));
    return one;
}

}  // namespace

std::string MeetSpheres(Polyhedron& source, Polyhedron& target, const std::vector<LandmarkPair>& landmarks, MorphJob& job,
                        const Progress& progress)
{
    // One shape twice: the spherical map follows the other's, and no
    // turn of the sphere is needed.
    double misfit = 0.0;
    bool followed = false;
    if (landmarks.empty()) {
        const bool targetFollows = target.map == SphereMap::Spherical;
        Polyhedron& leader = targetFollows ? source : target;
        Polyhedron& follower = targetFollows ? target : source;
        followed = FollowShape(leader, follower, misfit, progress);
        // Poses of one shape that no match in space lays on each other.
        // note: only between two spherical maps; a star-shaped mesh keeps today's route.
        if (!followed && leader.map == SphereMap::Spherical)
            job.intrinsic = FollowCorrespondence(leader, follower, nullptr, progress);
    }
    if (followed) {
        job.alignment = "one shape: the maps follow each other";
        return {};
    }
    if (job.intrinsic) {
        job.alignment = "one shape posed: the maps follow the intrinsic correspondence";
        return {};
    }
    if (progress) progress("aligning", 0.0);
    return Align(source, target, landmarks, job);
}

std::string ReadLandmarkFile(const std::string& path, std::vector<LandmarkPair>& pairs)
{
    std::string text, reason;
    // note: a landmark file of a million lines is no landmark file.
    if (!ReadRegularFile(path, text, reason, 1u << 24)) return path + ": cannot read the landmarks: " + reason;
    const std::size_t before = pairs.size();
    const std::string problem = ParseLandmarks(text, pairs);
    if (!problem.empty()) return path + ": " + problem;
    return pairs.size() > before ? std::string() : path + ": holds no landmark pairs";
}

PathChoice DefaultPath(const std::string& source, const std::string& target)
{
    return FindCatalogueModel(source) && FindCatalogueModel(target) ? PathChoice::Linear : PathChoice::Shape;
}

bool IsModelArgument(const std::string& argument)
{
    MeshFormat format{};
    return FindCatalogueModel(argument) || MeshFormatOfPath(argument, format);
}

namespace {

// Reads or builds both inputs, prepares each with its embedding, aligns
// their spheres where needed and merges them into job; false, with
// job.error, at the first input that fails.
bool LoadAndMerge(const MorphRequest& request, const EmbeddingChoice (&embedding)[2], const Progress& progress, MorphJob& job,
                  LoadedModel& source, LoadedModel& target)
{
    const bool parallel = request.threads > 1;
    // note: a model the request gave is merged as a built-in one.
    source.builtIn = request.sourceModel != nullptr;
    target.builtIn = request.targetModel != nullptr;
    // The two inputs share nothing until the merge.
    BothAtOnce(
        parallel,
        [&] {
            if (!request.sourceModel)
                source = Load(request.source, request.sourceMesh, request.sourceCentre, embedding[0], request, progress);
        },
        [&] {
            if (!request.targetModel)
                target = Load(request.target, request.targetMesh, request.targetCentre, embedding[1], request, progress);
        });
    if (!source.error.empty() || !target.error.empty()) {
        job.error = std::move(source.error.empty() ? target.error : source.error);
        return false;
    }
    job.warnings = source.warnings;
    job.warnings.insert(job.warnings.end(), target.warnings.begin(), target.warnings.end());
    if (!source.pieces.pieces.empty() || !target.pieces.pieces.empty()) {
        job.sourceRepairs = source.repairs;
        job.targetRepairs = target.repairs;
        MorphPieces(AsPieces(source, request.sourceModel), AsPieces(target, request.targetModel), request, job, progress);
        return false;
    }
    if (!request.sourceModel) job.source = std::make_unique<Polyhedron>(std::move(source.model));
    if (!request.targetModel) job.target = std::make_unique<Polyhedron>(std::move(target.model));
    const auto sourceModel = [&]() -> const Polyhedron& { return job.source ? *job.source : *request.sourceModel; };
    const auto targetModel = [&]() -> const Polyhedron& { return job.target ? *job.target : *request.targetModel; };
    job.sourceRepairs = source.repairs;
    job.targetRepairs = target.repairs;
    job.sourceMap = sourceModel().map;
    job.targetMap = targetModel().map;
    const MergeMethod method = ChooseMergeMethod(source.builtIn && target.builtIn, request.merge == MergeChoice::Robust);
    if (method == MergeMethod::Robust &&
        (job.sourceMap == SphereMap::Spherical || job.targetMap == SphereMap::Spherical || !request.landmarks.empty())) {
        Polyhedron& turnedSource = Own(job.source, request.sourceModel);
        Polyhedron& turnedTarget = Own(job.target, request.targetModel);
        std::vector<LandmarkPair> landmarks;
        job.error = InTableNumbering(request.landmarks, source.renumbered, target.renumbered, landmarks);
        if (job.error.empty()) job.error = MeetSpheres(turnedSource, turnedTarget, landmarks, job, progress);
        if (!job.error.empty()) return false;
    }
    const bool demo = request.merge == MergeChoice::Demo;
    job.merged = MergeModels(sourceModel(), targetModel(), method, progress, request.threads,
                             demo ? FaceDumps::Write : FaceDumps::Skip);
    job.error = job.merged.error;
    return job.error.empty();
}

// Whether a mesh file mapped centrally because auto chose so leaves
// triangles of no area at its end of the merge: a centre near its surface
// (a user's, or the kernel's of a thin mesh) piles the other mesh's
// vertices up there closer than float can tell apart.
bool CrowdedAtItsEnd(const MorphRequest& request, const LoadedModel& loaded, SphereMap map, int32_t flatThere)
{
    return request.embedding == EmbeddingChoice::Auto && !loaded.builtIn && map == SphereMap::Central && flatThere > 0;
}

}  // namespace

MorphJob RunMorphJob(const MorphRequest& request, const Progress& reportProgress)
{
    MorphJob job;
    std::mutex reporting;
    const Progress progress = [&](std::string_view phase, double fraction) {
        const std::lock_guard<std::mutex> lock(reporting);
        if (reportProgress) reportProgress(phase, fraction);
    };
    LoadedModel source, target;
    EmbeddingChoice embedding[2] = {request.embedding, request.embedding};
    if (!LoadAndMerge(request, embedding, progress, job, source, target)) return job;
    // note: the spherical embedding spreads the surface evenly over the
    // sphere; kept only where it leaves fewer flat triangles.
    const FlatRepair& flat = job.merged.flat;
    const bool again[2] = {CrowdedAtItsEnd(request, source, job.sourceMap, flat.remainingAtStart),
                           CrowdedAtItsEnd(request, target, job.targetMap, flat.remainingAtEnd)};
    if (again[0] || again[1]) {
        for (int side = 0; side < 2; ++side) {
            if (again[side]) embedding[side] = EmbeddingChoice::Spherical;
        }
        MorphJob retried;
        LoadedModel retriedSource, retriedTarget;
        if (LoadAndMerge(request, embedding, progress, retried, retriedSource, retriedTarget) &&
            retried.merged.flat.remaining < flat.remaining) {
            job = std::move(retried);
            source = std::move(retriedSource);
            target = std::move(retriedTarget);
        }
    }
    const MergeMethod method = ChooseMergeMethod(source.builtIn && target.builtIn, request.merge == MergeChoice::Robust);
    const bool demo = request.merge == MergeChoice::Demo;
    if (method == MergeMethod::Robust) job.leftOpen = LeaveOutCommonPatches(job.merged.mesh);
    // note: the robust merge is closed by construction; the literal one not always.
    if (method == MergeMethod::Literal && !demo) {
        const int32_t open = CountOpenEdges(job.merged.mesh);
        if (open > 0)
            job.error = "the literal merge of " + request.source + " and " + request.target + " is not closed: " +
                        std::to_string(open) + (open == 1 ? " open edge" : " open edges");
    }
    if (job.error.empty() && request.simplify.Asked()) {
        job.simplified = SimplifyMorph(job.merged.mesh, request.simplify, progress);
        if (!job.simplified.error.empty())
            job.error = "the merge of " + request.source + " and " + request.target + " cannot be simplified: " + job.simplified.error;
    }
    // note: after simplifying, which renumbers the vertices and keeps their locations.
    if (job.error.empty()) job.colours = MergedColours(job.merged.mesh, source.colours, target.colours);
    // note: from the simplified ends, whose triangles it then keeps.
    if (job.error.empty() && request.path == PathChoice::Shape) {
        std::string problem;
        job.path = ShapePath::Build(job.merged.mesh, problem, progress);
        if (!problem.empty()) job.error = "the morph of " + request.source + " and " + request.target + ": " + problem;
    }
    return job;
}

}  // namespace vorlane
