#include "merge/common_patches.h"

#include <algorithm>
#include <unordered_set>
#include <vector>

namespace vorlane {

namespace {

// Whether location lies in triangle t of model: named there, or on corners
// of t alone.
bool LiesIn(const SurfaceLocation& location, int32_t t, const Polyhedron& model)
{
    if (location.triangle == t) return true;
    if (location.triangle < 0 || t < 0) return false;
    const Triangle& named = model.faces[static_cast<std::size_t>(location.triangle)];
    const Triangle& in = model.faces[static_cast<std::size_t>(t)];
    for (std::size_t k = 0; k < 3; ++k) {
        if (location.weights[k] == 0.0) continue;
        if (std::find(in.begin(), in.end(), named[k]) == in.end()) return false;
    }
    return true;
}

bool InPatch(const std::vector<SurfaceLocation>& locations, const MeshFace& face,
             const Polyhedron& model)
{
    const int32_t t = FaceTriangle(locations, face, model);
    return t >= model.faceCount() - model.patchFaces;
}

}  // namespace

int32_t FaceTriangle(const std::vector<SurfaceLocation>& locations, const MeshFace& face, const Polyhedron& model)
{
    for (const int32_t v : face.indices) {
        const int32_t t = locations[static_cast<std::size_t>(v)].triangle;
        bool all = t >= 0;
        for (const int32_t w : face.indices) all = all && LiesIn(locations[static_cast<std::size_t>(w)], t, model);
        if (all) return t;
    }
    return -1;
}

int32_t LeaveOutCommonPatches(MorphMesh& mesh)
{
    if (!mesh.source || !mesh.target || mesh.source->patchFaces == 0 || mesh.target->patchFaces == 0) return 0;
    if (mesh.startLocations.size() != mesh.startPositions.size() || mesh.endLocations.size() != mesh.startPositions.size())
        return 0;
    std::size_t kept = 0;
    for (std::size_t f = 0; f < mesh.faces.size(); ++f) {
        const MeshFace& face = mesh.faces[f];
        if (InPatch(mesh.startLocations, face, *mesh.source) && InPatch(mesh.endLocations, face, *mesh.target))
            continue;
        if (kept != f) mesh.faces[kept] = std::move(mesh.faces[f]);
        ++kept;
    }
    const auto dropped = static_cast<int32_t>(mesh.faces.size() - kept);
    if (dropped == 0) return 0;
    mesh.faces.resize(kept);
    std::unordered_set<uint64_t> held;
    const auto key = [](int32_t a, int32_t b) {
        return uint64_t{static_cast<uint32_t>(std::min(a, b))} << 32 | static_cast<uint32_t>(std::max(a, b));
    };
    for (const MeshFace& face : mesh.faces)
        for (std::size_t k = 0; k < face.indices.size(); ++k)
            held.insert(key(face.indices[k], face.indices[(k + 1) % face.indices.size()]));
    mesh.edges.erase(std::remove_if(mesh.edges.begin(), mesh.edges.end(),
                                    [&](const IndexPair& e) { return held.count(key(e.from, e.to)) == 0; }),
                     mesh.edges.end());
    return dropped;
}

}  // namespace vorlane
