#include "io/morph_triangles.h"

#include <cassert>
#include <cstddef>

namespace vorlane {

namespace {

float Interpolate(float start, float end, int32_t step)
{
    return static_cast<float>(static_cast<double>(step) * (static_cast<double>(end) - start) /
                                  static_cast<double>(LastMorphStep) +
                              start);
}

}  // namespace

MorphTriangles CollectMorphTriangles(const MorphMesh& mesh)
{
    const std::size_t vertexCount = mesh.startPositions.size();
    assert(mesh.endPositions.size() == vertexCount);
    std::vector<int32_t> renumbered(vertexCount, -1);
    MorphTriangles out;
    for (const MeshFace& face : mesh.faces) {
        assert(face.indices.size() == static_cast<std::size_t>(face.vertexCount));
        for (std::size_t i = 1; i + 1 < face.indices.size(); ++i) {
            Triangle t{face.indices[0], face.indices[i], face.indices[i + 1]};
            for (int32_t corner : t) {
                assert(corner >= 0 && static_cast<std::size_t>(corner) < vertexCount);
                renumbered[static_cast<std::size_t>(corner)] = 0;
            }
            out.triangles.push_back(t);
        }
    }
    for (std::size_t v = 0; v < vertexCount; ++v) {
        if (renumbered[v] < 0) continue;
        renumbered[v] = static_cast<int32_t>(out.startPositions.size());
        out.startPositions.push_back(mesh.startPositions[v]);
        out.endPositions.push_back(mesh.endPositions[v]);
    }
    for (Triangle& t : out.triangles)
        for (int32_t& corner : t) corner = renumbered[static_cast<std::size_t>(corner)];
    return out;
}

Vec3 MorphPosition(const Vec3& start, const Vec3& end, int32_t step)
{
    return Vec3{Interpolate(start.x, end.x, step), Interpolate(start.y, end.y, step), Interpolate(start.z, end.z, step)};
}

}  // namespace vorlane
