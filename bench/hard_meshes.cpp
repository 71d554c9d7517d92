#include "bench/hard_meshes.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <unordered_set>

namespace vorlane {
namespace {

int64_t CellKey(int x, int y, int z)
{
    return (int64_t(x + 4096) << 26) | (int64_t(y + 4096) << 13) | int64_t(z + 4096);
}

}  // namespace

ModelTable VoxelSurface(const std::vector<std::array<int, 3>>& cubes, int n)
{
    std::unordered_set<int64_t> filled;
    for (const auto& c : cubes) filled.insert(CellKey(c[0], c[1], c[2]));
    ModelTable table;
    std::unordered_map<int64_t, int32_t> welded;
    // Lattice points at n per unit, welded so that faces of touching cubes share them.
    auto vertex = [&](int x, int y, int z) {
        const auto [it, added] = welded.try_emplace(CellKey(x, y, z), static_cast<int32_t>(table.vertices.size()));
        if (added) table.vertices.push_back({float(x) / float(n), float(y) / float(n), float(z) / float(n)});
        return it->second;
    };
    for (const auto& c : cubes) {
        for (int axis = 0; axis < 3; ++axis) {
            for (int side = -1; side <= 1; side += 2) {
                std::array<int, 3> neighbour = c;
                neighbour[static_cast<std::size_t>(axis)] += side;
                if (filled.count(CellKey(neighbour[0], neighbour[1], neighbour[2]))) continue;
                // (u, v, axis) right-handed; the face looks along side * axis.
                const int u = (axis + 1) % 3, v = (axis + 2) % 3;
                for (int i = 0; i < n; ++i) {
                    for (int j = 0; j < n; ++j) {
                        int corners[4];
                        const int du[4] = {0, 1, 1, 0}, dv[4] = {0, 0, 1, 1};
                        for (int k = 0; k < 4; ++k) {
                            std::array<int, 3> p{c[0] * n, c[1] * n, c[2] * n};
                            p[static_cast<std::size_t>(axis)] += side > 0 ? n : 0;
                            p[static_cast<std::size_t>(u)] += i + du[k];
                            p[static_cast<std::size_t>(v)] += j + dv[k];
                            corners[k] = vertex(p[0], p[1], p[2]);
                        }
                        if (side > 0) {
                            table.triangles.push_back({corners[0], corners[1], corners[2]});
                            table.triangles.push_back({corners[0], corners[2], corners[3]});
                        } else {
                            table.triangles.push_back({corners[0], corners[2], corners[1]});
                            table.triangles.push_back({corners[0], corners[3], corners[2]});
                        }
                    }
                }
            }
        }
    }
    return table;
}

ModelTable FingerComb(int fingers, int length, int n)
{
    std::vector<std::array<int, 3>> cubes;
    for (int x = 0; x < 2 * fingers - 1; ++x) cubes.push_back({x, 0, 0});
    for (int f = 0; f < fingers; ++f) {
        for (int y = 1; y <= length; ++y) cubes.push_back({2 * f, y, 0});
    }
    return VoxelSurface(cubes, n);
}

ModelTable Dumbbell(int length, int n)
{
    std::vector<std::array<int, 3>> cubes;
    for (int x = 0; x < 3; ++x) {
        for (int y = 0; y < 3; ++y) {
            for (int z = 0; z < 3; ++z) {
                cubes.push_back({x, y, z});
                cubes.push_back({x + 3 + length, y, z});
            }
        }
    }
    for (int x = 3; x < 3 + length; ++x) cubes.push_back({x, 1, 1});
    return VoxelSurface(cubes, n);
}

ModelTable ThickC(int n)
{
    std::vector<std::array<int, 3>> cubes;
    for (int x = 0; x < 5; ++x) {
        for (int y = 0; y < 5; ++y) {
            const bool wall = x == 0 || y == 0 || y == 4;
            for (int z = 0; z < 2 && wall; ++z) cubes.push_back({x, y, z});
        }
    }
    return VoxelSurface(cubes, n);
}

ModelTable BentC(int n)
{
    ModelTable table = ThickC(n);
    for (Vec3& v : table.vertices) {
        const float x = v.x, y = v.y, z = v.z;
        v = {x * (1.0f + 0.05f * y), y + 0.08f * x * x, z + 0.1f * y};
    }
    return table;
}

ModelTable PinchedCubes(int n) { return VoxelSurface({{0, 0, 0}, {1, 1, 1}}, n); }

ModelTable PinchedLoop(int n)
{
    return VoxelSurface({{0, 0, 0}, {0, 0, -1}, {0, 0, -2}, {1, 0, -2}, {2, 0, -2}, {3, 0, -2}, {3, 0, -1}, {3, 0, 0},
                         {3, 0, 1}, {3, 1, 1}, {2, 1, 1}, {1, 1, 1}},
                        n);
}

ModelTable SquareTorus(int n, bool twoTori)
{
    std::vector<std::array<int, 3>> cubes;
    for (int copy = 0; copy < (twoTori ? 2 : 1); ++copy) {
        for (int x = 0; x < 3; ++x) {
            for (int y = 0; y < 3; ++y) {
                if (x != 1 || y != 1) cubes.push_back({x + 5 * copy, y, 0});
            }
        }
    }
    return VoxelSurface(cubes, n);
}

ModelTable EdgeSharingCubes(int n) { return VoxelSurface({{0, 0, 0}, {1, 1, 0}}, n); }

ModelTable Tube(int sides, int rings, float length, float radius)
{
    ModelTable tube;
    for (int r = 0; r < rings; ++r) {
        const float z = length * (static_cast<float>(r) / static_cast<float>(rings - 1) - 0.5f);
        for (int s = 0; s < sides; ++s) {
            const double a = 2.0 * M_PI * s / sides;
            tube.vertices.push_back({radius * static_cast<float>(std::cos(a)), radius * static_cast<float>(std::sin(a)), z});
        }
    }
    const int32_t bottom = static_cast<int32_t>(tube.vertices.size());
    tube.vertices.push_back({0.0f, 0.0f, -0.5f * length});
    tube.vertices.push_back({0.0f, 0.0f, 0.5f * length});
    const int32_t last = (rings - 1) * sides;
    for (int32_t s = 0; s < sides; ++s) {
        const int32_t next = (s + 1) % sides;
        for (int32_t r = 0; r + 1 < rings; ++r) {
            const int32_t a = r * sides + s, b = r * sides + next;
            tube.triangles.push_back({a, b, b + sides});
            tube.triangles.push_back({a, b + sides, a + sides});
        }
        tube.triangles.push_back({bottom, next, s});
        tube.triangles.push_back({bottom + 1, last + s, last + next});
    }
    return tube;
}

}  // namespace vorlane
