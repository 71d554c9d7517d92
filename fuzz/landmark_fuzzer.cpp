// libFuzzer target for landmark files through the whole path: the first two
// bytes choose two built-in models, the rest is the landmark file, read as
// the tool reads it and used to turn the target before the merge. Any
// crash, hang or sanitizer report is a finding; so is an error that is not
// one line, and a morph with positions that are not finite.
#include <unistd.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "pipeline/morph_job.h"

namespace {

void Require(bool promise)
{
    if (!promise) __builtin_trap();
}

bool Finite(const vorlane::Vec3& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

const char* const Models[] = {"cube", "rhombic-prism", "icosahedron", "pyramid", "pointed-bar", "box"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2) return 0;
    static const std::string folder = "/tmp/vorlane-landmark-fuzz-" + std::to_string(getpid());
    static const bool made = (std::system(("mkdir -p " + folder).c_str()), true);
    Require(made);
    const std::string path = folder + "/landmarks.txt";
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data + 2), static_cast<std::streamsize>(size - 2));
    vorlane::MorphRequest request;
    request.source = Models[data[0] % 6];
    request.target = Models[data[1] % 6];
    const std::string problem = vorlane::ReadLandmarkFile(path, request.landmarks);
    if (!problem.empty()) {
        Require(problem.rfind(path + ": ", 0) == 0 && problem.find('\n') == std::string::npos);
        return 0;
    }
    // note: a long file of pairs only prices the least-squares turn.
    if (request.landmarks.size() > 8) return 0;
    const vorlane::MorphJob job = vorlane::RunMorphJob(request);
    if (!job.error.empty()) {
        Require(job.error.find('\n') == std::string::npos);
        return 0;
    }
    const vorlane::MorphMesh& mesh = job.merged.mesh;
    Require(!mesh.faces.empty());
    for (size_t v = 0; v < mesh.startPositions.size(); ++v) Require(Finite(mesh.startPositions[v]) && Finite(mesh.endPositions[v]));
    return 0;
}
