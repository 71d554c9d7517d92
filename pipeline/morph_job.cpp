#include "pipeline/morph_job.h"

#include <mutex>
#include <utility>

#include "geometry/model_catalogue.h"
#include "io/mesh_reader.h"
#include "robust/two_halves.h"

namespace vorlane {

namespace {

struct LoadedModel {
    std::string error;
    bool builtIn = false;
    Polyhedron model;
};

LoadedModel Load(const std::string& argument, const std::optional<Vec3>& centre, const PrepareProgress& progress)
{
    LoadedModel loaded;
    if (const CatalogueEntry* entry = FindCatalogueModel(argument)) {
        loaded.builtIn = true;
        loaded.model = entry->build(centre.value_or(Vec3{}));
        return loaded;
    }
    if (progress) progress("reading " + argument, 0.0);
    MeshReadResult read = ReadMeshFile(argument);
    if (progress) progress("reading " + argument, 1.0);
    if (!read.error.empty()) {
        loaded.error = read.error;
        return loaded;
    }
    PreparedModel prepared = PrepareMesh(std::move(read.table), centre, argument, progress);
    loaded.error = std::move(prepared.error);
    loaded.model = std::move(prepared.model);
    return loaded;
}

}  // namespace

bool IsModelArgument(const std::string& argument)
{
    MeshFormat format{};
    return FindCatalogueModel(argument) || MeshFormatOfPath(argument, format);
}

MorphJob RunMorphJob(const MorphRequest& request, const PrepareProgress& reportProgress)
{
    MorphJob job;
    std::mutex reporting;
    const PrepareProgress progress = [&](const std::string& phase, double fraction) {
        const std::lock_guard<std::mutex> lock(reporting);
        if (reportProgress) reportProgress(phase, fraction);
    };
    const bool parallel = request.threads > 1;
    LoadedModel source, target;
    // The two inputs share nothing until the merge.
    BothAtOnce(
        parallel, [&] { source = Load(request.source, request.sourceCentre, progress); },
        [&] { target = Load(request.target, request.targetCentre, progress); });
    if (!source.error.empty() || !target.error.empty()) {
        job.error = std::move(source.error.empty() ? target.error : source.error);
        return job;
    }
    job.source = std::make_unique<Polyhedron>(std::move(source.model));
    job.target = std::make_unique<Polyhedron>(std::move(target.model));
    const MergeMethod method = ChooseMergeMethod(source.builtIn && target.builtIn, request.robust);
    if (method == MergeMethod::Robust) {
        std::string problems[2];
        BothAtOnce(
            parallel, [&] { problems[0] = CheckStarShaped(*job.source, "source", progress); },
            [&] { problems[1] = CheckStarShaped(*job.target, "target", progress); });
        job.error = problems[0].empty() ? problems[1] : problems[0];
        if (!job.error.empty()) return job;
    }
    job.merged = MergeModels(
        *job.source, *job.target, method, [&](const char* phase, double fraction) { progress(phase, fraction); }, request.threads);
    return job;
}

}  // namespace vorlane
