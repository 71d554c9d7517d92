// libFuzzer target for the glTF reader the window opens morphs with: the
// first byte chooses .glb or .gltf, the rest is the file. Any crash, hang or
// sanitizer report is a finding; so is an error that is not one line naming
// the file, and a morph read whole whose corners leave its vertices or whose
// positions are not finite.
#include <unistd.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

#include "io/gltf_reader.h"

namespace {

void Require(bool promise)
{
    if (!promise) __builtin_trap();
}

bool Finite(const vorlane::Vec3& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) return 0;
    static const std::string folder = "/tmp/vorlane-gltf-fuzz-" + std::to_string(getpid());
    static const bool made = (std::system(("mkdir -p " + folder).c_str()), true);
    Require(made);
    const std::string path = folder + (data[0] & 1 ? "/in.gltf" : "/in.glb");
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));
    const vorlane::GltfMorphReadResult read = vorlane::ReadGltfMorph(path);
    if (!read.error.empty()) {
        Require(read.error.rfind(path + ": ", 0) == 0);
        Require(read.error.find('\n') == std::string::npos);
        Require(read.morph.triangles.empty());
        return 0;
    }
    const vorlane::MorphTriangles& morph = read.morph;
    Require(morph.startPositions.size() == morph.endPositions.size());
    for (const vorlane::Triangle& t : morph.triangles) {
        for (int32_t corner : t) Require(corner >= 0 && static_cast<size_t>(corner) < morph.startPositions.size());
    }
    for (size_t v = 0; v < morph.startPositions.size(); ++v) Require(Finite(morph.startPositions[v]) && Finite(morph.endPositions[v]));
    return 0;
}
