// libFuzzer target for the prepare stage and the merge for real meshes: the
// input makes two small meshes, which are oriented, centred and checked as
// files are, and merged when both pass. Any crash, hang or sanitizer report
// is a finding; so is a merge that is not a closed, consistently oriented
// mesh with finite positions.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <utility>

#include "merge/merge_models.h"
#include "prepare/follow_correspondence.h"
#include "prepare/follow_shape.h"
#include "prepare/prepare_mesh.h"
#include "robust/sphere_map_check.h"

namespace {

using vorlane::ModelTable;
using vorlane::Vec3;

void Require(bool promise)
{
    if (!promise) __builtin_trap();
}

// The input read a byte at a time; zeros once it runs out.
struct Bytes {
    const uint8_t* data;
    size_t size;
    size_t at = 0;
    uint8_t Next() { return at < size ? data[at++] : 0; }
    // A coordinate on a lattice of eighths: coincidences and exact collinear
    // points are common, as in real meshes.
    float Coordinate() { return static_cast<int8_t>(Next()) / 8.0f; }
};

// Shapes most inputs make closed and of genus 0, so the merge runs:
// free triangles, a bipyramid, an octahedron; then scaled by a power of two
// and moved, which reaches overflow and float collapse.
ModelTable MakeMesh(Bytes& in)
{
    ModelTable table;
    const uint8_t mode = in.Next() % 3;
    if (mode == 0) {
        const int vertices = 4 + in.Next() % 12, triangles = 2 + in.Next() % 24;
        for (int v = 0; v < vertices; ++v) table.vertices.push_back({in.Coordinate(), in.Coordinate(), in.Coordinate()});
        for (int t = 0; t < triangles; ++t) {
            table.triangles.push_back({in.Next() % vertices, in.Next() % vertices, in.Next() % vertices});
        }
    } else if (mode == 1) {
        const int n = 3 + in.Next() % 40;
        const float radius = 1.0f + in.Next() / 16.0f;
        const uint8_t wobble = in.Next();
        for (int k = 0; k < n; ++k) {
            const double angle = 2.0 * M_PI * k / n;
            const float r = radius + (wobble & 1 ? in.Coordinate() / 4.0f : 0.0f);
            table.vertices.push_back({static_cast<float>(r * std::cos(angle)), static_cast<float>(r * std::sin(angle)),
                                      wobble & 2 ? in.Coordinate() / 4.0f : 0.0f});
        }
        table.vertices.push_back({in.Coordinate() / 4.0f, in.Coordinate() / 4.0f, 1.0f + in.Next() / 16.0f});
        table.vertices.push_back({in.Coordinate() / 4.0f, in.Coordinate() / 4.0f, -1.0f - in.Next() / 16.0f});
        for (int k = 0; k < n; ++k) {
            table.triangles.push_back({k, (k + 1) % n, n});
            table.triangles.push_back({(k + 1) % n, k, n + 1});
        }
    } else {
        for (int axis = 0; axis < 3; ++axis) {
            for (const float sign : {1.0f, -1.0f}) {
                float p[3] = {in.Coordinate() / 8.0f, in.Coordinate() / 8.0f, in.Coordinate() / 8.0f};
                p[axis] += sign * (1.0f + in.Next() / 32.0f);
                table.vertices.push_back({p[0], p[1], p[2]});
            }
        }
        table.triangles = {{0, 2, 4}, {2, 1, 4}, {1, 3, 4}, {3, 0, 4}, {2, 0, 5}, {1, 2, 5}, {3, 1, 5}, {0, 3, 5}};
    }
    const uint8_t scale = in.Next();
    const uint8_t shift = in.Next();
    for (Vec3& v : table.vertices) {
        // Mostly left alone; now and then scaled by up to 2^+-127 or moved far.
        const int exponent = scale < 192 ? 0 : (scale - 224) * 4;
        v = {std::ldexp(v.x, exponent), std::ldexp(v.y, exponent), std::ldexp(v.z, exponent)};
        if (shift >= 224) v.x += std::ldexp(1.0f, (shift - 224) * 4);
    }
    return table;
}

std::optional<Vec3> MakeCentre(Bytes& in)
{
    if (in.Next() % 4 != 0) return std::nullopt;  // the kernel's centre, as for files
    return Vec3{in.Coordinate() / 4.0f, in.Coordinate() / 4.0f, in.Coordinate() / 4.0f};
}

// Every edge of the triangles once each way: closed and consistently oriented.
void RequireSound(const vorlane::MorphMesh& mesh)
{
    Require(mesh.faceCount() > 0);
    Require(mesh.endPositions.size() == mesh.startPositions.size());
    for (int32_t v = 0; v < mesh.vertexCount(); ++v) {
        const Vec3& s = mesh.startPositions[static_cast<size_t>(v)];
        const Vec3& e = mesh.endPositions[static_cast<size_t>(v)];
        Require(std::isfinite(s.x) && std::isfinite(s.y) && std::isfinite(s.z));
        Require(std::isfinite(e.x) && std::isfinite(e.y) && std::isfinite(e.z));
    }
    std::map<std::pair<int32_t, int32_t>, int> sides;
    for (const vorlane::MeshFace& f : mesh.faces) {
        Require(f.vertexCount == 3);
        for (int i = 0; i < 3; ++i) {
            const int32_t u = f.indices.data()[i], v = f.indices.data()[(i + 1) % 3];
            Require(u >= 0 && u < mesh.vertexCount() && v >= 0 && v < mesh.vertexCount() && u != v);
            ++sides[{u, v}];
        }
    }
    for (const auto& [side, count] : sides) {
        Require(count == 1);
        const auto back = sides.find({side.second, side.first});
        Require(back != sides.end() && back->second == 1);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Bytes in{data, size};
    vorlane::PreparedModel prepared[2];
    for (int k = 0; k < 2; ++k) {
        ModelTable table = MakeMesh(in);
        const std::optional<Vec3> centre = MakeCentre(in);
        prepared[k] = vorlane::PrepareMesh(std::move(table), {centre, vorlane::EmbeddingChoice::Auto, vorlane::HoleChoice::Fill, 0.0}, k == 0 ? "a" : "b");
        if (!prepared[k].error.empty()) {
            Require(prepared[k].error.find('\n') == std::string::npos);
            return 0;
        }
    }
    // A spherical map may be made again to follow the other mesh's; what it
    // becomes must still be a map the merge takes.
    const int follower = prepared[1].model.map == vorlane::SphereMap::Spherical ? 1
                         : prepared[0].model.map == vorlane::SphereMap::Spherical ? 0
                                                                                  : -1;
    if (follower >= 0) {
        double misfit = 0.0;
        if (vorlane::FollowShape(prepared[1 - follower].model, prepared[follower].model, misfit) ||
            vorlane::FollowCorrespondence(prepared[1 - follower].model, prepared[follower].model)) {
            Require(vorlane::CheckSphereMap(prepared[follower].model, "follower").empty());
        }
    }
    const vorlane::MergedModels merged =
        vorlane::MergeModels(prepared[0].model, prepared[1].model, vorlane::MergeMethod::Robust);
    if (!merged.error.empty()) {
        Require(merged.error.find('\n') == std::string::npos && merged.mesh.faces.empty());
        return 0;
    }
    RequireSound(merged.mesh);
    return 0;
}
