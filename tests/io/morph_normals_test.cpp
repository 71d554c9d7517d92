#include <gtest/gtest.h>
#include <tiny_gltf.h>

#include <cmath>
#include <string>

#include "bench/mesh_generator.h"
#include "io/gltf_writer.h"
#include "io/morph_normals.h"
#include "robust/merge_meshes.h"
#include "test_support.h"
#include "twisted_map.h"

namespace vorlane {
namespace {

// The cube of corners (+-1, +-1, +-1), two triangles a face: each corner's
// angle-weighted normal is its own direction.
const Polyhedron& Cube()
{
    static const Polyhedron cube = BuildPolyhedron(CubeSphere(1, std::sqrt(3.0f)), Vec3{});
    return cube;
}

// On an octahedron with its corners on the axes at 2, 3 and 5, the faces
// about a corner pair off: each corner's normal is exactly its own axis,
// read straight or through a numbering of the used vertices; a vertex no
// triangle uses gets (0, 0, 1).
TEST(AreaWeightedNormals, OfAnOctahedronAreItsAxes)
{
    const std::vector<Vec3> corners{{2, 0, 0}, {-2, 0, 0}, {0, 3, 0}, {0, -3, 0}, {0, 0, 5}, {0, 0, -5}};
    const std::vector<uint32_t> triangles{0, 2, 4, 2, 1, 4, 1, 3, 4, 3, 0, 4, 2, 0, 5, 1, 2, 5, 3, 1, 5, 0, 3, 5};
    // The same corners behind two unused positions, listed backwards.
    std::vector<Vec3> padded{{7, 7, 7}, {8, 8, 8}};
    padded.insert(padded.end(), corners.rbegin(), corners.rend());
    const std::vector<int32_t> backwards{7, 6, 5, 4, 3, 2, 0};
    const Vec3 axes[] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}, {0, 0, 1}};
    for (const bool numbered : {false, true}) {
        SCOPED_TRACE(numbered);
        const std::vector<Vec3> normals =
            numbered ? AreaWeightedNormals(padded, backwards, 7, triangles) : AreaWeightedNormals(corners, {}, 6, triangles);
        ASSERT_EQ(normals.size(), numbered ? 7u : 6u);
        for (size_t v = 0; v < normals.size(); ++v) EXPECT_TRUE(normals[v] == axes[v]) << v;
    }
}

// Interpolated over a triangle, by weights or along an edge.
TEST(SurfaceNormals, AreTheCornersNormalsInterpolated)
{
    const Polyhedron& cube = Cube();
    const SurfaceNormals normals(cube);
    // The corners' normals are their directions, so the normal at w_a a +
    // w_b b is that point's direction (corners a, b of triangle 0).
    const Triangle& t = cube.faces[0];
    const Vec3 a = cube.vertices[static_cast<size_t>(t[0])], b = cube.vertices[static_cast<size_t>(t[1])];
    const auto along = [&](float wa, float wb) {
        const Vec3 p{wa * a.x + wb * b.x, wa * a.y + wb * b.y, wa * a.z + wb * b.z};
        const float length = std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z);
        return Vec3{p.x / length, p.y / length, p.z / length};
    };
    const struct {
        double weights[3];
        Vec3 expected;
    } cases[] = {
        {{1.0, 0.0, 0.0}, along(1.0f, 0.0f)},
        // Half way along the side: the sum of the corners', not either one.
        {{0.5, 0.5, 0.0}, along(0.5f, 0.5f)},
        {{0.75, 0.25, 0.0}, along(0.75f, 0.25f)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.weights[1]);
        SurfaceLocation at;
        at.triangle = 0;
        for (int i = 0; i < 3; ++i) at.weights[i] = c.weights[i];
        const Vec3 n = normals.At(at);
        EXPECT_NEAR(n.x, c.expected.x, 2e-7);
        EXPECT_NEAR(n.y, c.expected.y, 2e-7);
        EXPECT_NEAR(n.z, c.expected.z, 2e-7);
    }
}

// On the cube, the interpolated normal at any surface point p is p / |p|:
// so every merged vertex, in a face, on an edge or at a corner, must shade
// along its own position at the cube's end, whatever either map. On
// spherical maps, vertices on the cube's edges used to take one corner's
// normal.
TEST(GltfWriter, NormalsAtEveryMergedVertexAreTheInputsInterpolated)
{
    test::ScratchDirectory scratch;
    ModelTable ball = Icosphere(3, 1.3f);
    Rotate(ball, 3);
    const Polyhedron sphere = BuildPolyhedron(ball, Vec3{});
    const struct {
        const char* name;
        double cubeTwist, sphereTwist;
        bool cubeFirst;
    } cases[] = {
        {"cube on its own projection into a sphere", 0.0, 0.0, true},
        {"cube on a twisted map into a sphere", 0.7, 0.0, true},
        {"sphere into a cube on a twisted map", 0.0, -0.6, false},
        {"both maps twisted, the cube at the end", 0.4, 0.5, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Polyhedron cube = Twisted(Cube(), c.cubeTwist), other = Twisted(sphere, c.sphereTwist);
        const MorphMesh mesh = (c.cubeFirst ? MergeMeshes(cube, other) : MergeMeshes(other, cube)).mesh;
        ASSERT_EQ(WriteGltfMorph(mesh, "m.glb", GltfContainer::Binary), "");
        tinygltf::Model model;
        tinygltf::TinyGLTF loader;
        std::string error, warning;
        ASSERT_TRUE(loader.LoadBinaryFromFile(&model, &error, &warning, "m.glb")) << error;
        const tinygltf::Primitive& primitive = model.meshes.at(0).primitives.at(0);
        const auto floats = [&](int accessor) {
            const tinygltf::BufferView& view = model.bufferViews.at(static_cast<size_t>(model.accessors.at(static_cast<size_t>(accessor)).bufferView));
            return reinterpret_cast<const float*>(model.buffers.at(0).data.data() + view.byteOffset);
        };
        const float* normal = floats(primitive.attributes.at("NORMAL"));
        const float* offset = floats(primitive.targets.at(0).at("NORMAL"));
        const std::vector<Vec3>& at = c.cubeFirst ? mesh.startPositions : mesh.endPositions;
        ASSERT_EQ(model.accessors.at(static_cast<size_t>(primitive.attributes.at("NORMAL"))).count, at.size());
        for (size_t v = 0; v < at.size(); ++v) {
            const double length = std::hypot(at[v].x, at[v].y, at[v].z);
            for (size_t k = 0; k < 3; ++k) {
                const double expected = (k == 0 ? at[v].x : k == 1 ? at[v].y : at[v].z) / length;
                const double got = c.cubeFirst ? normal[3 * v + k] : normal[3 * v + k] + offset[3 * v + k];
                ASSERT_NEAR(got, expected, 2e-6) << "vertex " << v << " axis " << k;
            }
        }
    }
}

}  // namespace
}  // namespace vorlane
