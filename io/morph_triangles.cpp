#include "io/morph_triangles.h"

#include <cassert>
#include <cstddef>

#include "geometry/fan.h"

namespace vorlane {

MorphTriangles CollectMorphTriangles(const MorphMesh& mesh, const MorphColours& colours, const std::vector<Vec3>* at)
{
    const std::size_t vertexCount = mesh.startPositions.size();
    assert(mesh.endPositions.size() == vertexCount);
    assert(colours.empty() || (colours.start.size() == vertexCount && colours.end.size() == vertexCount));
    std::vector<int32_t> renumbered(vertexCount, -1);
    MorphTriangles out;
    for (const MeshFace& face : mesh.faces) {
        assert(face.indices.size() == static_cast<std::size_t>(face.vertexCount));
        ForEachFanTriangle(face.indices.data(), face.indices.size(), [&](int32_t a, int32_t b, int32_t c) {
            const Triangle t{a, b, c};
            for (int32_t corner : t) {
                assert(corner >= 0 && static_cast<std::size_t>(corner) < vertexCount);
                renumbered[static_cast<std::size_t>(corner)] = 0;
            }
            out.triangles.push_back(t);
        });
    }
    for (std::size_t v = 0; v < vertexCount; ++v) {
        if (renumbered[v] < 0) continue;
        renumbered[v] = static_cast<int32_t>(out.startPositions.size());
        out.startPositions.push_back(at ? (*at)[v] : mesh.startPositions[v]);
        out.endPositions.push_back(at ? (*at)[v] : mesh.endPositions[v]);
        if (colours.empty()) continue;
        out.startColours.push_back(colours.start[v]);
        out.endColours.push_back(colours.end[v]);
    }
    for (Triangle& t : out.triangles)
        for (int32_t& corner : t) corner = renumbered[static_cast<std::size_t>(corner)];
    return out;
}

MorphIndices CollectMorphIndices(const MorphMesh& mesh)
{
    const std::size_t vertexCount = mesh.startPositions.size();
    std::vector<char> used(vertexCount, 0);
    MorphIndices out;
    out.corners.reserve(mesh.faces.size() * 3);
    for (const MeshFace& face : mesh.faces) {
        ForEachFanTriangle(face.indices.data(), face.indices.size(), [&](int32_t a, int32_t b, int32_t c) {
            for (int32_t corner : {a, b, c}) {
                assert(corner >= 0 && static_cast<std::size_t>(corner) < vertexCount);
                used[static_cast<std::size_t>(corner)] = 1;
                out.corners.push_back(static_cast<uint32_t>(corner));
            }
        });
    }
    std::size_t kept = 0;
    for (char u : used) kept += static_cast<std::size_t>(u);
    out.vertexCount = kept;
    // note: the robust merge keeps only vertices in use, so this is the usual case.
    if (kept == vertexCount) return out;
    std::vector<uint32_t> renumbered(vertexCount, 0);
    out.vertices.reserve(kept);
    for (std::size_t v = 0; v < vertexCount; ++v) {
        if (!used[v]) continue;
        renumbered[v] = static_cast<uint32_t>(out.vertices.size());
        out.vertices.push_back(static_cast<int32_t>(v));
    }
    for (uint32_t& corner : out.corners) corner = renumbered[corner];
    return out;
}

}  // namespace vorlane
