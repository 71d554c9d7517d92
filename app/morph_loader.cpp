#include "app/morph_loader.h"

#include <new>
#include <utility>

#include "base/two_halves.h"
#include "geometry/morph_step.h"
#include "io/gltf_reader.h"
#include "io/morph_triangles.h"
#include "pipeline/morph_job.h"

namespace vorlane {

namespace {

// Thrown from the progress report of a cancelled load to unwind it; caught
// only in MorphLoader::Run.
struct LoadCancelled {};

LoadedMorph Failure(std::string error)
{
    LoadedMorph failed;
    failed.error = std::move(error);
    return failed;
}

LoadedMorph Flatten(const MorphTriangles& triangles, const Progress& progress)
{
    if (progress) progress("preparing to draw", 0.0);
    LoadedMorph loaded;
    loaded.placement = PlaceMorph(triangles.startPositions, triangles.endPositions);
    loaded.arrays =
        MakeMorphArrays(triangles.startPositions, triangles.endPositions, triangles.triangles, loaded.placement, &triangles.steps);
    for (const Vec3& c : triangles.startColours) loaded.arrays.startColours.insert(loaded.arrays.startColours.end(), {c.x, c.y, c.z});
    for (const Vec3& c : triangles.endColours) loaded.arrays.endColours.insert(loaded.arrays.endColours.end(), {c.x, c.y, c.z});
    if (progress) progress("preparing to draw", 0.5);
    loaded.coarse = CoarseMorphArrays(loaded.arrays);
    if (progress) progress("preparing to draw", 1.0);
    return loaded;
}

}  // namespace

LoadedMorph LoadMorph(const ViewerInput& input, const Progress& progress)
{
    if (!input.morphFile.empty()) {
        if (progress) progress("reading " + input.morphFile, 0.0);
        const GltfMorphReadResult read = ReadGltfMorph(input.morphFile);
        if (!read.error.empty()) return Failure(read.error);
        return Flatten(read.morph, progress);
    }
    for (const std::string& argument : {input.request.source, input.request.target}) {
        if (!IsModelArgument(argument))
            return Failure("'" + argument + "' is neither a catalogue model nor a mesh file (.obj, .off, .ply, .stl, .gltf, .glb)");
    }
    MorphJob job = RunMorphJob(input.request, progress);
    if (!job.error.empty()) return Failure(job.error);
    if (progress) progress("preparing to draw", 0.0);
    MorphTriangles triangles = CollectMorphTriangles(job.merged.mesh, job.colours);
    if (!job.path.empty()) {
        // Every step solved once here, so the window steps without waiting.
        for (int32_t step = 0; step <= MorphSteps; ++step) {
            if (progress) progress("solving the in-betweens", static_cast<double>(step) / MorphSteps);
            const std::vector<Vec3> at = job.path.AtStep(step);
            triangles.steps.push_back(CollectMorphTriangles(job.merged.mesh, {}, &at).startPositions);
        }
    }
    LoadedMorph loaded = Flatten(triangles, progress);
    if (loaded.arrays.triangleCount == 0) loaded.error = "the merge made no faces";
    loaded.sourceModel = std::move(job.source);
    return loaded;
}

// note: with no thread to be had, the load runs now; the window waits, but opens.
MorphLoader::MorphLoader(ViewerInput input) : thread_(StartOrRun([this, input = std::move(input)] { Run(input); })) {}

MorphLoader::~MorphLoader() { Cancel(); }

void MorphLoader::Cancel()
{
    cancelled_ = true;
    if (thread_.joinable()) thread_.join();
}

std::string MorphLoader::Phase(double& fraction) const
{
    const std::lock_guard<std::mutex> lock(mutex_);
    fraction = fraction_;
    return phase_;
}

LoadedMorph MorphLoader::Take()
{
    if (thread_.joinable()) thread_.join();
    return std::move(result_);
}

void MorphLoader::Run(const ViewerInput& input)
{
    const Progress report = [this](std::string_view phase, double fraction) {
        if (cancelled_) throw LoadCancelled{};
        const std::lock_guard<std::mutex> lock(mutex_);
        phase_ = phase;
        fraction_ = fraction;
    };
    LoadedMorph loaded;
    try {
        loaded = LoadMorph(input, report);
    } catch (const LoadCancelled&) {
        loaded = Failure("cancelled");
    } catch (const std::bad_alloc&) {
        loaded = Failure("out of memory");
    }
    result_ = std::move(loaded);
    done_ = true;
}

}  // namespace vorlane
