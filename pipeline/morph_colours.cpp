#include "pipeline/morph_colours.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <unordered_map>

namespace vorlane {

namespace {

constexpr Vec3 White{1.0f, 1.0f, 1.0f};

uint64_t Key(const Vec3& p)
{
    uint32_t bits[3];
    std::memcpy(bits, &p, sizeof bits);
    return (uint64_t{bits[0]} * 0x9E3779B97F4A7C15ull) ^ (uint64_t{bits[1]} << 21) ^ (uint64_t{bits[2]} * 0xC2B2AE3D27D4EB4Full);
}

std::vector<Vec3> AtLocations(const std::vector<SurfaceLocation>& locations, const Polyhedron* model,
                              const std::vector<Vec3>& colours)
{
    std::vector<Vec3> out(locations.size(), White);
    if (!model || colours.size() != model->vertices.size()) return out;
    for (std::size_t v = 0; v < locations.size(); ++v) {
        const SurfaceLocation& at = locations[v];
        if (at.triangle < 0 || static_cast<std::size_t>(at.triangle) >= model->faces.size()) continue;
        const Triangle& t = model->faces[static_cast<std::size_t>(at.triangle)];
        double sum[3] = {0.0, 0.0, 0.0};
        for (int k = 0; k < 3; ++k) {
            const Vec3& c = colours[static_cast<std::size_t>(t[static_cast<std::size_t>(k)])];
            sum[0] += at.weights[k] * c.x;
            sum[1] += at.weights[k] * c.y;
            sum[2] += at.weights[k] * c.z;
        }
        out[v] = {static_cast<float>(sum[0]), static_cast<float>(sum[1]), static_cast<float>(sum[2])};
    }
    return out;
}

}  // namespace

std::vector<Vec3> ColoursOfModel(const Polyhedron& model, const std::vector<Vec3>& tableColours)
{
    if (tableColours.empty()) return {};
    const std::size_t kept = std::min(tableColours.size(), model.vertices.size());
    std::vector<Vec3> out(tableColours.begin(), tableColours.begin() + static_cast<std::ptrdiff_t>(kept));
    if (model.vertices.size() == kept) return out;
    // note: a split copy has its original's very coordinates about the centre.
    std::unordered_multimap<uint64_t, std::size_t> byPlace;
    for (std::size_t v = 0; v < kept; ++v) byPlace.emplace(Key(model.vertices[v]), v);
    for (std::size_t v = kept; v < model.vertices.size(); ++v) {
        Vec3 colour = White;
        const auto [first, last] = byPlace.equal_range(Key(model.vertices[v]));
        for (auto it = first; it != last; ++it) {
            if (model.vertices[it->second] == model.vertices[v]) {
                colour = out[it->second];
                break;
            }
        }
        out.push_back(colour);
    }
    return out;
}

MorphColours MergedColours(const MorphMesh& mesh, const std::vector<Vec3>& sourceColours,
                           const std::vector<Vec3>& targetColours)
{
    MorphColours colours;
    if ((sourceColours.empty() && targetColours.empty()) || mesh.startLocations.size() != mesh.startPositions.size() ||
        mesh.endLocations.size() != mesh.endPositions.size())
        return colours;
    colours.start = AtLocations(mesh.startLocations, mesh.source, sourceColours);
    colours.end = AtLocations(mesh.endLocations, mesh.target, targetColours);
    return colours;
}

}  // namespace vorlane
