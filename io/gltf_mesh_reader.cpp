// glTF 2.0 as an input mesh: the triangles of the default scene where its
// nodes put them, welded by position, with the colour each vertex shows.
#include <tiny_gltf.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "io/gltf_colour.h"
#include "io/gltf_reader_internal.h"
#include "io/mesh_reader_internal.h"

namespace vorlane::mesh_reading {

namespace {

using gltf_reading::Elements;
using gltf_reading::GltfBytes;
using gltf_reading::GltfFailure;
using gltf_reading::Index;
using gltf_reading::Json;
using gltf_reading::Matrix;
using gltf_reading::Member;
using gltf_reading::Whole;
namespace component = gltf_reading;

constexpr const char* Draco = "KHR_draco_mesh_compression";

void CheckExtensions(const Json& root)
{
    const Json* required = Member(root, "extensionsRequired");
    if (!required || !required->is_array()) return;
    for (const Json& name : *required) {
        const std::string text = name.is_string() ? name.get<std::string>() : "";
        if (text == Draco)
            throw ReadFailure("the mesh is Draco-compressed (" + std::string(Draco) +
                              "), which this reader does not decode: export it without Draco");
        if (text != "EXT_meshopt_compression" && text != "KHR_mesh_quantization" && text != "KHR_materials_unlit")
            throw ReadFailure("needs the glTF extension " + Shown(text) + ", which this reader does not know");
    }
}

// The nodes of the default scene and their descendants, each with where it
// puts its mesh; each node once, so a cycle or a shared child costs nothing.
struct PlacedMesh {
    std::size_t mesh;
    Matrix placement;
};

std::vector<PlacedMesh> PlacedMeshes(const Json& root)
{
    const Json* nodes = Member(root, "nodes");
    const Json* meshes = Member(root, "meshes");
    const std::size_t nodeCount = nodes && nodes->is_array() ? nodes->size() : 0;
    std::vector<PlacedMesh> placed;
    if (nodeCount == 0) {
        // note: a file of bare meshes shows each where it stands.
        const std::size_t meshCount = meshes && meshes->is_array() ? meshes->size() : 0;
        for (std::size_t m = 0; m < meshCount; ++m) placed.push_back({m, gltf_reading::Identity});
        return placed;
    }
    std::vector<std::size_t> roots;
    const Json* scenes = Member(root, "scenes");
    if (scenes && scenes->is_array() && !scenes->empty()) {
        const std::size_t scene = Whole(root, "scene", "the file", 0);
        if (scene >= scenes->size()) throw GltfFailure("the default scene does not exist");
        const Json* list = Member((*scenes)[scene], "nodes");
        if (list && list->is_array())
            for (const Json& n : *list)
                if (n.is_number_unsigned() && n.get<uint64_t>() < nodeCount) roots.push_back(n.get<std::size_t>());
    } else {
        std::vector<char> child(nodeCount, 0);
        for (const Json& node : *nodes) {
            const Json* children = Member(node, "children");
            if (children && children->is_array())
                for (const Json& c : *children)
                    if (c.is_number_unsigned() && c.get<uint64_t>() < nodeCount) child[c.get<std::size_t>()] = 1;
        }
        for (std::size_t n = 0; n < nodeCount; ++n)
            if (!child[n]) roots.push_back(n);
    }
    std::vector<char> seen(nodeCount, 0);
    std::vector<PlacedMesh> stack;
    for (const std::size_t r : roots) stack.push_back({r, gltf_reading::Identity});
    std::reverse(stack.begin(), stack.end());
    while (!stack.empty()) {
        const PlacedMesh at = stack.back();
        stack.pop_back();
        if (seen[at.mesh]) continue;
        seen[at.mesh] = 1;
        const Json& node = (*nodes)[at.mesh];
        const std::string what = "node " + std::to_string(at.mesh);
        const Matrix placement = gltf_reading::Multiply(at.placement, gltf_reading::NodeMatrix(node, what));
        if (Member(node, "mesh")) placed.push_back({Index(root, "meshes", node, "mesh", what), placement});
        const Json* children = Member(node, "children");
        if (!children || !children->is_array()) continue;
        for (auto c = children->rbegin(); c != children->rend(); ++c)
            if (c->is_number_unsigned() && c->get<uint64_t>() < nodeCount) stack.push_back({c->get<std::size_t>(), placement});
    }
    return placed;
}

// An accessor named in attributes, or none; count must match the positions'.
bool Attribute(const Json& root, GltfBytes& bytes, const Json& attributes, const std::string& name, std::size_t count,
               const std::string& what, Elements& out)
{
    if (!Member(attributes, name.c_str())) return false;
    const std::size_t index = Index(root, "accessors", attributes, name.c_str(), what);
    const Json* type = Member(root.at("accessors").at(index), "type");
    const bool four = type && *type == "VEC4";
    const bool colour = name == "COLOR_0";
    out = gltf_reading::Locate(root, bytes, index, what + "'s " + name, colour ? (four ? "VEC4" : "VEC3") : "VEC2",
                               colour ? (four ? 4 : 3) : 2,
                               {component::Float, component::UnsignedByte, component::UnsignedShort});
    // note: integers here are meant as fractions, flagged or not.
    if (out.type != component::Float) out.normalized = true;
    if (out.count != count) throw GltfFailure(what + "'s " + name + " does not cover every vertex");
    return true;
}

// Where a mesh's vertices go, one welded point per position.
class Welder {
public:
    explicit Welder(FaceList& faces) : faces_(faces) { table_.assign(1024, -1); }

    int32_t PointOf(const Vec3& p)
    {
        std::size_t mask = table_.size() - 1, slot = HashOf(p) & mask;
        while (table_[slot] >= 0) {
            const Vec3& q = faces_.points[static_cast<std::size_t>(table_[slot])];
            if (q.x == p.x && q.y == p.y && q.z == p.z) return table_[slot];
            slot = (slot + 1) & mask;
        }
        if (faces_.points.size() >= static_cast<std::size_t>(INT32_MAX))
            throw ReadFailure("there are more vertices than 32-bit indices count");
        table_[slot] = static_cast<int32_t>(faces_.points.size());
        faces_.points.push_back(p);
        if (faces_.points.size() * 2 > table_.size()) {
            table_.assign(table_.size() * 2, -1);
            mask = table_.size() - 1;
            for (std::size_t v = 0; v < faces_.points.size(); ++v) {
                std::size_t s = HashOf(faces_.points[v]) & mask;
                while (table_[s] >= 0) s = (s + 1) & mask;
                table_[s] = static_cast<int32_t>(v);
            }
        }
        return static_cast<int32_t>(faces_.points.size() - 1);
    }

private:
    static uint64_t HashOf(const Vec3& p)
    {
        uint32_t bits[3];
        for (int k = 0; k < 3; ++k) {
            const float value = (&p.x)[k] + 0.0f;  // note: -0 becomes +0, which it equals.
            std::memcpy(&bits[k], &value, sizeof value);
        }
        uint64_t h = (static_cast<uint64_t>(bits[0]) << 32 | bits[1]) * 0x9E3779B97F4A7C15ull;
        h ^= (static_cast<uint64_t>(bits[2]) + 0x632BE59BD9B4E019ull) * 0xC2B2AE3D27D4EB4Full;
        return h ^ (h >> 31);
    }

    FaceList& faces_;
    std::vector<int32_t> table_;
};

// What every primitive adds to: the welded points, their summed linear
// colours, the textures decoded so far.
struct MeshBuild {
    MeshBuild(const Json& file, GltfBytes& buffers, const ReadMeter& meter) : root(file), bytes(buffers), progress(meter) {}

    const Json& root;
    GltfBytes& bytes;
    const ReadMeter& progress;
    FaceList faces;
    Welder welder{faces};
    std::vector<double> colourSums;  // four a point: red, green, blue, corners
    bool coloured = false;
    gltf_colour::Textures textures;
};

void AddPrimitive(MeshBuild& build, const Json& primitive, const Matrix& placement, const std::string& what)
{
    const std::size_t mode = Whole(primitive, "mode", what, 4);
    if (mode < 4 || mode > 6) return;  // note: points and lines hold no surface.
    const Json* extensions = Member(primitive, "extensions");
    if (extensions && Member(*extensions, Draco) && !Member(primitive, "indices") && !Member(primitive, "attributes"))
        throw ReadFailure(what + " is Draco-compressed, which this reader does not decode: export it without Draco");
    const Json* attributes = Member(primitive, "attributes");
    if (!attributes || !Member(*attributes, "POSITION")) throw GltfFailure(what + " has no positions");
    const Elements positions =
        gltf_reading::Locate(build.root, build.bytes, Index(build.root, "accessors", *attributes, "POSITION", what),
                             what + "'s POSITION", "VEC3", 3,
                             {component::Float, component::Byte, component::UnsignedByte, component::Short,
                              component::UnsignedShort});
    const gltf_colour::Paint paint = gltf_colour::PaintOf(build.root, build.bytes, primitive, build.textures, what);
    Elements colours, texcoords;
    const bool hasColours = Attribute(build.root, build.bytes, *attributes, "COLOR_0", positions.count, what, colours);
    const bool hasTexture = paint.texture != nullptr &&
                            Attribute(build.root, build.bytes, *attributes, "TEXCOORD_" + std::to_string(paint.texCoord),
                                      positions.count, what, texcoords);
    build.coloured = build.coloured || hasColours || hasTexture || paint.tinted;

    std::vector<uint32_t> indices;
    if (Member(primitive, "indices")) {
        const Elements list = gltf_reading::Locate(build.root, build.bytes,
                                                   Index(build.root, "accessors", primitive, "indices", what),
                                                   what + "'s indices", "SCALAR", 1,
                                                   {component::UnsignedByte, component::UnsignedShort, component::UnsignedInt});
        indices.resize(list.count);
        for (std::size_t i = 0; i < list.count; ++i) {
            const double value = list.At(i, 0);
            if (value >= static_cast<double>(positions.count)) throw GltfFailure(what + " has an index out of range");
            indices[i] = static_cast<uint32_t>(value);
        }
    } else {
        indices.resize(positions.count);
        for (std::size_t i = 0; i < positions.count; ++i) indices[i] = static_cast<uint32_t>(i);
    }
    // note: a mirroring node turns the winding over; glTF then means the other side.
    const Matrix& m = placement;
    const double determinant = m[0] * (m[5] * m[10] - m[9] * m[6]) - m[4] * (m[1] * m[10] - m[9] * m[2]) +
                               m[8] * (m[1] * m[6] - m[5] * m[2]);
    const bool mirrored = determinant < 0.0;

    std::vector<int32_t> pointOf(positions.count, -1);
    const auto point = [&](uint32_t v) {
        int32_t& p = pointOf[v];
        if (p >= 0) return p;
        double local[3] = {positions.At(v, 0), positions.At(v, 1), positions.At(v, 2)};
        double world[3];
        for (int r = 0; r < 3; ++r)
            world[r] = m[r] * local[0] + m[4 + r] * local[1] + m[8 + r] * local[2] + m[12 + r];
        const Vec3 q{static_cast<float>(world[0]), static_cast<float>(world[1]), static_cast<float>(world[2])};
        if (!std::isfinite(q.x) || !std::isfinite(q.y) || !std::isfinite(q.z))
            throw GltfFailure(what + " puts a vertex beyond the float range");
        p = build.welder.PointOf(q);
        gltf_colour::Linear colour = paint.factor;
        if (hasColours)
            for (int k = 0; k < 3; ++k) colour[k] *= std::clamp(colours.At(v, static_cast<std::size_t>(k)), 0.0, 1.0);
        if (hasTexture) {
            const gltf_colour::Linear texel = gltf_colour::Sample(*paint.texture, texcoords.At(v, 0), texcoords.At(v, 1));
            for (int k = 0; k < 3; ++k) colour[k] *= texel[k];
        }
        const std::size_t at = 4 * static_cast<std::size_t>(p);
        if (build.colourSums.size() < at + 4) build.colourSums.resize(at + 4, 0.0);
        for (int k = 0; k < 3; ++k) build.colourSums[at + static_cast<std::size_t>(k)] += colour[k];
        build.colourSums[at + 3] += 1.0;
        return p;
    };
    const std::size_t count = indices.size();
    const std::size_t triangles = mode == 4 ? count / 3 : count >= 3 ? count - 2 : 0;
    for (std::size_t t = 0; t < triangles; ++t) {
        build.progress.Every("reading glTF", t, triangles);
        uint32_t a, b, c;
        if (mode == 4) a = indices[3 * t], b = indices[3 * t + 1], c = indices[3 * t + 2];
        else if (mode == 5) a = indices[t], b = indices[t + (t & 1) + 1], c = indices[t + 2 - (t & 1)];
        else a = indices[0], b = indices[t + 1], c = indices[t + 2];
        if (mirrored) std::swap(b, c);
        if (build.faces.corners.size() > static_cast<std::size_t>(INT32_MAX) - 3)
            throw ReadFailure("there are more corners than 32-bit indices count");
        build.faces.AddFace();
        build.faces.corners.insert(build.faces.corners.end(), {point(a), point(b), point(c)});
    }
}

}  // namespace

ModelTable ReadGltfMesh(std::string_view bytes, bool binary, const std::optional<std::string>& folder,
                        const ReadMeter& progress, std::vector<Vec3>& colours)
{
    try {
        gltf_reading::GltfContainerParts parts = gltf_reading::SplitContainer(bytes, binary);
        const Json& root = parts.root;
        const Json* asset = Member(root, "asset");
        const Json* version = asset ? Member(*asset, "version") : nullptr;
        if (!version || !version->is_string() || version->get<std::string>().rfind("2.", 0) != 0)
            throw GltfFailure("not glTF 2.0 (no asset version 2.x)");
        CheckExtensions(root);
        GltfBytes buffers(root, folder, parts.binaryChunk);
        MeshBuild build(root, buffers, progress);
        for (const PlacedMesh& placed : PlacedMeshes(root)) {
            const Json& mesh = root.at("meshes").at(placed.mesh);
            const Json* primitives = Member(mesh, "primitives");
            if (!primitives || !primitives->is_array()) continue;
            for (std::size_t p = 0; p < primitives->size(); ++p)
                AddPrimitive(build, (*primitives)[p], placed.placement,
                             "mesh " + std::to_string(placed.mesh) + " primitive " + std::to_string(p));
        }
        if (build.faces.faceStarts.empty()) throw ReadFailure("there are no triangles in the default scene");
        std::vector<int32_t> slots;
        ModelTable table = BuildTable(build.faces, 0, progress, &slots);
        colours.clear();
        if (build.coloured) {
            colours.assign(table.vertices.size(), Vec3{});
            for (std::size_t p = 0; p < slots.size(); ++p) {
                if (slots[p] < 0) continue;
                const double* sum = &build.colourSums[4 * p];
                colours[static_cast<std::size_t>(slots[p])] = gltf_colour::Shown(
                    gltf_colour::Linear{sum[0] / sum[3], sum[1] / sum[3], sum[2] / sum[3]});
            }
        }
        return table;
    } catch (const GltfFailure& failure) {
        throw ReadFailure(failure.what());
    }
}

}  // namespace vorlane::mesh_reading
