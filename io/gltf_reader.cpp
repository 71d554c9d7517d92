#include "io/gltf_reader.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <exception>
#include <filesystem>
#include <new>
#include <utility>

#include "files/input_file.h"
#include "geometry/morph_step.h"
#include "io/gltf_colour.h"
#include "io/gltf_reader_internal.h"
#include "io/gltf_writer.h"
#include "io/mesh_reader_internal.h"

namespace vorlane {

namespace {

using gltf_reading::Elements;
using gltf_reading::Float;
using gltf_reading::Byte;
using gltf_reading::UnsignedByte;
using gltf_reading::Short;
using gltf_reading::UnsignedShort;
using gltf_reading::UnsignedInt;
using gltf_reading::Identity;
using gltf_reading::Locate;
using gltf_reading::Matrix;
using gltf_reading::Multiply;
using gltf_reading::NodeMatrix;
using gltf_reading::GltfBytes;
using gltf_reading::GltfFailure;
using gltf_reading::Index;
using gltf_reading::Json;
using gltf_reading::Member;
using gltf_reading::Whole;

// Where the first node that shows mesh 0 puts it, through its parents; the
// mesh's own frame when no node shows it.
Matrix MeshPlacement(const Json& root)
{
    const Json* nodes = Member(root, "nodes");
    if (!nodes || !nodes->is_array()) return Identity;
    const std::size_t count = nodes->size();
    std::vector<std::size_t> parent(count, count);
    for (std::size_t n = 0; n < count; ++n) {
        const Json* children = Member((*nodes)[n], "children");
        if (!children || !children->is_array()) continue;
        for (const Json& child : *children)
            if (child.is_number_unsigned() && child.get<uint64_t>() < count) parent[child.get<std::size_t>()] = n;
    }
    for (std::size_t n = 0; n < count; ++n) {
        const Json* mesh = Member((*nodes)[n], "mesh");
        if (!mesh || *mesh != 0) continue;
        Matrix placement = Identity;
        // note: a cycle of parents is a broken file; it ends after count steps.
        for (std::size_t at = n, steps = 0; at < count && steps <= count; at = parent[at], ++steps)
            placement = Multiply(NodeMatrix((*nodes)[at], "node " + std::to_string(at)), placement);
        return placement;
    }
    return Identity;
}

std::vector<Vec3> Positions(const Elements& elements, const Matrix& placement, const std::vector<Vec3>* base,
                            const std::string& what)
{
    std::vector<Vec3> out(elements.count);
    for (std::size_t i = 0; i < elements.count; ++i) {
        double p[3] = {elements.At(i, 0), elements.At(i, 1), elements.At(i, 2)};
        if (!std::isfinite(p[0]) || !std::isfinite(p[1]) || !std::isfinite(p[2]))
            throw GltfFailure(what + " holds a coordinate that is not a finite number");
        out[i] = Vec3{static_cast<float>(p[0]), static_cast<float>(p[1]), static_cast<float>(p[2])};
        if (base) {
            const Vec3& s = (*base)[i];
            // note: the sum a viewer makes, in float, where the node moves nothing.
            if (placement == Identity) out[i] = Vec3{s.x + out[i].x, s.y + out[i].y, s.z + out[i].z};
            for (int k = 0; k < 3; ++k) p[k] += (&s.x)[k];
        }
        if (placement != Identity) {
            double q[3];
            for (int r = 0; r < 3; ++r) q[r] = placement[r] * p[0] + placement[4 + r] * p[1] + placement[8 + r] * p[2] + placement[12 + r];
            out[i] = Vec3{static_cast<float>(q[0]), static_cast<float>(q[1]), static_cast<float>(q[2])};
        }
        if (!std::isfinite(out[i].x) || !std::isfinite(out[i].y) || !std::isfinite(out[i].z))
            throw GltfFailure(base ? "the morph target moves a vertex beyond the float range"
                                   : what + " holds a coordinate beyond the float range");
    }
    return out;
}

void CheckExtensions(const Json& root)
{
    const Json* required = Member(root, "extensionsRequired");
    if (!required || !required->is_array()) return;
    for (const Json& name : *required) {
        const std::string text = name.is_string() ? name.get<std::string>() : "";
        if (text != "EXT_meshopt_compression" && text != "KHR_mesh_quantization")
            throw GltfFailure("needs the extension " + mesh_reading::Shown(text) + ", which this reader does not know");
    }
}

// The base's COLOR_0 and the last target's (the far end), as the writer puts them (float
// RGB in linear light), as shown at both ends; none where either is missing
// or in another form.
void ReadColours(const Json& root, GltfBytes& bytes, const Json& attributes, const Json& target, std::size_t count,
                 MorphTriangles& morph)
{
    if (!Member(attributes, "COLOR_0") || !Member(target, "COLOR_0")) return;
    // note: colours in another form than the writer's are left out, not refused.
    for (const Json* holder : {&attributes, &target}) {
        const Json& accessor = root.at("accessors").at(Index(root, "accessors", *holder, "COLOR_0", "COLOR_0"));
        const Json* type = Member(accessor, "type");
        const Json* component = Member(accessor, "componentType");
        if (!type || *type != "VEC3" || !component || *component != Float) return;
    }
    const Elements base = Locate(root, bytes, Index(root, "accessors", attributes, "COLOR_0", "COLOR_0"), "COLOR_0", "VEC3",
                                 3, {Float});
    const Elements offset = Locate(root, bytes, Index(root, "accessors", target, "COLOR_0", "the colour target"),
                                   "the colour target", "VEC3", 3, {Float});
    if (base.count != count || offset.count != count) throw GltfFailure("the colours do not cover every vertex");
    morph.startColours.resize(count);
    morph.endColours.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        gltf_colour::Linear a{}, b{};
        for (std::size_t k = 0; k < 3; ++k) {
            a[k] = base.At(i, k);
            b[k] = a[k] + offset.At(i, k);
        }
        morph.startColours[i] = gltf_colour::Shown(a);
        morph.endColours[i] = gltf_colour::Shown(b);
    }
}

// The positions at every step of a walk through poses spaced evenly from
// the first to the last, straight between neighbours.
std::vector<std::vector<Vec3>> StepsThrough(const std::vector<std::vector<Vec3>>& poses)
{
    const std::size_t spans = poses.size() - 1;
    std::vector<std::vector<Vec3>> steps;
    for (int32_t step = 0; step <= MorphSteps; ++step) {
        const double along = static_cast<double>(step) * static_cast<double>(spans) / MorphSteps;
        const std::size_t i = std::min(spans - 1, static_cast<std::size_t>(along));
        const double f = along - static_cast<double>(i);
        if (f == 0.0 || f == 1.0) {
            steps.push_back(poses[f == 0.0 ? i : i + 1]);
            continue;
        }
        std::vector<Vec3> at(poses[i].size());
        for (std::size_t v = 0; v < at.size(); ++v) {
            const Vec3& a = poses[i][v];
            const Vec3& b = poses[i + 1][v];
            at[v] = {static_cast<float>(a.x + f * (static_cast<double>(b.x) - a.x)), static_cast<float>(a.y + f * (static_cast<double>(b.y) - a.y)),
                     static_cast<float>(a.z + f * (static_cast<double>(b.z) - a.z))};
        }
        steps.push_back(std::move(at));
    }
    return steps;
}

MorphTriangles ReadPrimitive(const Json& root, GltfBytes& bytes)
{
    const Json* asset = Member(root, "asset");
    const Json* version = asset ? Member(*asset, "version") : nullptr;
    if (!version || !version->is_string() || version->get<std::string>().rfind("2.", 0) != 0)
        throw GltfFailure("not glTF 2.0 (no asset version 2.x)");
    CheckExtensions(root);
    const Json* meshes = Member(root, "meshes");
    const Json* primitives = meshes && meshes->is_array() && !meshes->empty() ? Member((*meshes)[0], "primitives") : nullptr;
    if (!primitives || !primitives->is_array() || primitives->empty()) throw GltfFailure("no mesh");
    const Json& primitive = (*primitives)[0];
    if (Whole(primitive, "mode", "the mesh", 4) != 4) throw GltfFailure("the mesh is not a triangle list");
    const Json* attributes = Member(primitive, "attributes");
    if (!attributes || !Member(*attributes, "POSITION")) throw GltfFailure("the mesh has no positions");
    const Json* targets = Member(primitive, "targets");
    if (!targets || !targets->is_array() || targets->empty()) throw GltfFailure("no morph target: not a morph");

    const Matrix placement = MeshPlacement(root);
    MorphTriangles morph;
    const Elements start = Locate(root, bytes, Index(root, "accessors", *attributes, "POSITION", "POSITION"), "POSITION",
                                  "VEC3", 3, {Float, Byte, UnsignedByte, Short, UnsignedShort});
    // note: a file of K targets holds a path's in-betweens, then the far end.
    std::vector<std::vector<Vec3>> poses;
    const std::vector<Vec3> local = Positions(start, Identity, nullptr, "POSITION");
    morph.startPositions = placement == Identity ? local : Positions(start, placement, nullptr, "POSITION");
    for (const Json& target : *targets) {
        if (!Member(target, "POSITION")) throw GltfFailure("a morph target moves no position: not a morph");
        const Elements offset = Locate(root, bytes, Index(root, "accessors", target, "POSITION", "the morph target"),
                                       "the morph target", "VEC3", 3, {Float, Byte, Short});
        if (offset.count != start.count) throw GltfFailure("the morph target does not move every vertex");
        poses.push_back(Positions(offset, placement, &local, "the morph target"));
    }
    morph.endPositions = std::move(poses.back());
    poses.pop_back();
    // note: a mesh at rest at full weight shows base plus target first: the
    // writer's form for ends where the smaller one must be the base.
    ReadColours(root, bytes, *attributes, targets->back(), start.count, morph);
    const Json* weights = Member((*meshes)[0], "weights");
    const bool reversed = weights && weights->is_array() && !weights->empty() && weights->back().is_number() &&
                          weights->back().get<double>() == 1.0;
    if (reversed) {
        std::swap(morph.startPositions, morph.endPositions);
        std::swap(morph.startColours, morph.endColours);
    }
    if (!poses.empty()) {
        poses.insert(poses.begin(), morph.startPositions);
        poses.push_back(morph.endPositions);
        morph.steps = StepsThrough(poses);
    }

    std::vector<uint32_t> indices;
    if (!Member(primitive, "indices")) {
        for (std::size_t i = 0; i < start.count; ++i) indices.push_back(static_cast<uint32_t>(i));
    } else {
        const Elements list = Locate(root, bytes, Index(root, "accessors", primitive, "indices", "the index list"),
                                     "the index list", "SCALAR", 1, {UnsignedByte, UnsignedShort, UnsignedInt});
        indices.resize(list.count);
        for (std::size_t i = 0; i < list.count; ++i) {
            const double value = list.At(i, 0);
            if (value >= static_cast<double>(start.count)) throw GltfFailure("an index is out of range");
            indices[i] = static_cast<uint32_t>(value);
        }
    }
    if (indices.size() % 3 != 0) throw GltfFailure("the triangle list has a loose end");
    if (indices.empty()) throw GltfFailure("the mesh has no triangles");
    morph.triangles.resize(indices.size() / 3);
    for (std::size_t t = 0; t < morph.triangles.size(); ++t)
        for (std::size_t c = 0; c < 3; ++c) morph.triangles[t][c] = static_cast<int32_t>(indices[3 * t + c]);
    return morph;
}

}  // namespace

GltfMorphReadResult ReadGltfMorph(const std::string& path)
{
    GltfMorphReadResult result;
    GltfContainer container{};
    if (!GltfContainerOfPath(path, container)) {
        result.error = path + ": not a glTF file (expected .glb or .gltf)";
        return result;
    }
    std::string problem;
    try {
        std::string file;
        if (!ReadRegularFile(path, file, problem)) throw GltfFailure(problem);
        gltf_reading::GltfContainerParts parts = gltf_reading::SplitContainer(file, container == GltfContainer::Binary);
        GltfBytes bytes(parts.root, std::filesystem::path(path).parent_path().string(), parts.binaryChunk);
        result.morph = ReadPrimitive(parts.root, bytes);
        problem.clear();
    } catch (const GltfFailure& failure) {
        problem = failure.what();
    } catch (const std::bad_alloc&) {
        problem = "too large to read into memory";
    } catch (const std::exception& e) {
        problem = std::string("cannot read the glTF data: ") + mesh_reading::Shown(e.what());
    }
    if (!problem.empty()) {
        result.error = path + ": " + problem;
        result.morph = MorphTriangles{};
    }
    return result;
}

}  // namespace vorlane
