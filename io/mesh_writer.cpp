#include "io/mesh_writer.h"

#include <algorithm>
#include <cassert>
#include <cctype>
#include <cmath>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "files/output_file.h"
#include "geometry/morph_step.h"
#include "io/morph_triangles.h"

namespace vorlane {

namespace {

void PutLittleEndian(std::vector<unsigned char>& out, uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<unsigned char>(value >> shift));
}

void PutFloat(std::vector<unsigned char>& out, float value)
{
    uint32_t raw = 0;
    std::memcpy(&raw, &value, sizeof raw);
    PutLittleEndian(out, raw);
}

unsigned char Byte(float shown)
{
    return static_cast<unsigned char>(std::lround(std::clamp(shown, 0.0f, 1.0f) * 255.0f));
}

std::string Write(std::FILE* out, const MorphTriangles& mesh, int32_t step, StepFormat format)
{
    const std::size_t vertexCount = mesh.startPositions.size();
    const bool coloured = !mesh.startColours.empty();
    const auto colour = [&](std::size_t v) { return MorphPosition(mesh.startColours[v], mesh.endColours[v], step); };
    bool ok = true;
    if (format == StepFormat::Obj) {
        ok = std::fprintf(out, "# vorlane-merge: morph step %d of %d\n", step, MorphSteps) > 0;
        for (std::size_t v = 0; ok && v < vertexCount; ++v) {
            const Vec3 p = MorphPosition(mesh.startPositions[v], mesh.endPositions[v], step);
            if (coloured) {
                const Vec3 c = colour(v);
                ok = std::fprintf(out, "v %.9g %.9g %.9g %.4g %.4g %.4g\n", static_cast<double>(p.x),
                                  static_cast<double>(p.y), static_cast<double>(p.z), static_cast<double>(c.x),
                                  static_cast<double>(c.y), static_cast<double>(c.z)) > 0;
                continue;
            }
            ok = std::fprintf(out, "v %.9g %.9g %.9g\n", static_cast<double>(p.x), static_cast<double>(p.y),
                              static_cast<double>(p.z)) > 0;
        }
        for (std::size_t t = 0; ok && t < mesh.triangles.size(); ++t) {
            const Triangle& f = mesh.triangles[t];
            ok = std::fprintf(out, "f %d %d %d\n", f[0] + 1, f[1] + 1, f[2] + 1) > 0;
        }
    } else {
        ok = std::fprintf(out,
                          "ply\nformat binary_little_endian 1.0\ncomment vorlane-merge: morph step %d of %d\n"
                          "element vertex %zu\nproperty float x\nproperty float y\nproperty float z\n%s"
                          "element face %zu\nproperty list uchar int vertex_indices\nend_header\n",
                          step, MorphSteps, vertexCount,
                          coloured ? "property uchar red\nproperty uchar green\nproperty uchar blue\n" : "",
                          mesh.triangles.size()) > 0;
        std::vector<unsigned char> body;
        body.reserve(vertexCount * 12 + mesh.triangles.size() * 13);
        for (std::size_t v = 0; v < vertexCount; ++v) {
            const Vec3 p = MorphPosition(mesh.startPositions[v], mesh.endPositions[v], step);
            PutFloat(body, p.x);
            PutFloat(body, p.y);
            PutFloat(body, p.z);
            if (!coloured) continue;
            const Vec3 c = colour(v);
            body.insert(body.end(), {Byte(c.x), Byte(c.y), Byte(c.z)});
        }
        for (const Triangle& f : mesh.triangles) {
            body.push_back(3);
            for (int32_t corner : f) PutLittleEndian(body, static_cast<uint32_t>(corner));
        }
        ok = ok && std::fwrite(body.data(), 1, body.size(), out) == body.size();
    }
    if (!ok) return std::string("cannot write: ") + std::strerror(errno);
    return {};
}

}  // namespace

bool StepFormatOfPath(const std::string& path, StepFormat& format)
{
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == ".obj") format = StepFormat::Obj;
    else if (extension == ".ply") format = StepFormat::Ply;
    else return false;
    return true;
}

std::string WriteMeshAtStep(const MorphMesh& mesh, int32_t step, const std::string& path, StepFormat format,
                            const MorphColours& colours, const std::vector<Vec3>* at)
{
    assert(step >= 0 && step <= MorphSteps);
    assert(!at || at->size() == mesh.startPositions.size());
    // note: with both ends at the step's positions, MorphPosition gives them back exactly.
    const MorphTriangles triangles = CollectMorphTriangles(mesh, colours, at);
    return WriteFileAtomically(path, [&](std::FILE* file) { return Write(file, triangles, step, format); });
}

}  // namespace vorlane
