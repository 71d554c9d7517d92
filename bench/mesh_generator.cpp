#include "bench/mesh_generator.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <utility>
#include <vector>

namespace vorlane {
namespace {

struct P {
    double x, y, z;
};

Vec3 OnSphere(const P& p, float radius)
{
    const double length = std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z);
    return {static_cast<float>(p.x / length * radius), static_cast<float>(p.y / length * radius),
            static_cast<float>(p.z / length * radius)};
}

}  // namespace

ModelTable Icosphere(int level, float radius)
{
    const double g = (1.0 + std::sqrt(5.0)) / 2.0;
    std::vector<P> points = {{-1, g, 0}, {1, g, 0}, {-1, -g, 0}, {1, -g, 0}, {0, -1, g}, {0, 1, g},
                             {0, -1, -g}, {0, 1, -g}, {g, 0, -1}, {g, 0, 1}, {-g, 0, -1}, {-g, 0, 1}};
    std::vector<Triangle> triangles = {{0, 11, 5}, {0, 5, 1},  {0, 1, 7},   {0, 7, 10}, {0, 10, 11}, {1, 5, 9}, {5, 11, 4},
                                       {11, 10, 2}, {10, 7, 6}, {7, 1, 8},  {3, 9, 4},  {3, 4, 2},   {3, 2, 6}, {3, 6, 8},
                                       {3, 8, 9},  {4, 9, 5},  {2, 4, 11}, {6, 2, 10}, {8, 6, 7},   {9, 8, 1}};
    for (P& p : points) {
        const double length = std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z);
        p = {p.x / length, p.y / length, p.z / length};
    }
    for (int l = 0; l < level; ++l) {
        // note: the middle of edge (a, b), a < b, is found among a's few
        // edges; the order of making keeps the numbering of a map by pairs.
        std::vector<std::vector<std::pair<int32_t, int32_t>>> middles(points.size());
        auto middle = [&](int32_t a, int32_t b) {
            std::vector<std::pair<int32_t, int32_t>>& around = middles[static_cast<size_t>(std::min(a, b))];
            for (const auto& [to, index] : around) {
                if (to == std::max(a, b)) return index;
            }
            const P& u = points[static_cast<size_t>(a)];
            const P& v = points[static_cast<size_t>(b)];
            P m{u.x + v.x, u.y + v.y, u.z + v.z};
            const double length = std::sqrt(m.x * m.x + m.y * m.y + m.z * m.z);
            points.push_back({m.x / length, m.y / length, m.z / length});
            around.emplace_back(std::max(a, b), static_cast<int32_t>(points.size() - 1));
            return static_cast<int32_t>(points.size() - 1);
        };
        std::vector<Triangle> finer;
        finer.reserve(triangles.size() * 4);
        for (const Triangle& t : triangles) {
            const int32_t ab = middle(t[0], t[1]), bc = middle(t[1], t[2]), ca = middle(t[2], t[0]);
            finer.push_back({t[0], ab, ca});
            finer.push_back({t[1], bc, ab});
            finer.push_back({t[2], ca, bc});
            finer.push_back({ab, bc, ca});
        }
        triangles = std::move(finer);
    }
    ModelTable table;
    for (const P& p : points) table.vertices.push_back(OnSphere(p, radius));
    table.triangles = std::move(triangles);
    return table;
}

ModelTable CubeSphere(int n, float radius)
{
    ModelTable table;
    // Grid corners shared between faces, by their place in the (n + 1)^3 grid.
    const size_t side = static_cast<size_t>(n) + 1;
    std::vector<int32_t> index(side * side * side, -1);
    auto vertex = [&](int i, int j, int k) {
        int32_t& found = index[(static_cast<size_t>(i) * side + static_cast<size_t>(j)) * side + static_cast<size_t>(k)];
        if (found >= 0) return found;
        const double h = n / 2.0;
        table.vertices.push_back(OnSphere({i - h, j - h, k - h}, radius));
        return found = static_cast<int32_t>(table.vertices.size() - 1);
    };
    // Each face: a fixed axis at 0 or n, and two running axes ordered so the
    // squares are counter-clockwise seen from outside.
    for (int axis = 0; axis < 3; ++axis) {
        for (int side = 0; side < 2; ++side) {
            const int u = (axis + 1) % 3, v = (axis + 2) % 3;
            for (int a = 0; a < n; ++a) {
                for (int b = 0; b < n; ++b) {
                    int32_t c[4];
                    const int corners[4][2] = {{a, b}, {a + 1, b}, {a + 1, b + 1}, {a, b + 1}};
                    for (int q = 0; q < 4; ++q) {
                        int p[3];
                        p[axis] = side * n;
                        p[u] = corners[q][0];
                        p[v] = corners[q][1];
                        c[q] = vertex(p[0], p[1], p[2]);
                    }
                    if (side == 1) {
                        table.triangles.push_back({c[0], c[1], c[2]});
                        table.triangles.push_back({c[0], c[2], c[3]});
                    } else {
                        table.triangles.push_back({c[0], c[2], c[1]});
                        table.triangles.push_back({c[0], c[3], c[2]});
                    }
                }
            }
        }
    }
    return table;
}

ModelTable BenchCubeSphere(int level)
{
    const int n = static_cast<int>(std::lround(std::sqrt(20.0 * std::pow(4.0, level) / 12.0)));
    ModelTable table = CubeSphere(n, 60.0f);
    Rotate(table, 5);
    return table;
}

ModelTable Bipyramid(int n, float radius, double turn)
{
    ModelTable table;
    for (int k = 0; k < n; ++k) {
        const double angle = 2.0 * M_PI * (k + turn) / n;
        table.vertices.push_back({radius * static_cast<float>(std::cos(angle)), radius * static_cast<float>(std::sin(angle)), 0.0f});
    }
    table.vertices.push_back({0.0f, 0.0f, radius});
    table.vertices.push_back({0.0f, 0.0f, -radius});
    for (int k = 0; k < n; ++k) {
        table.triangles.push_back({k, (k + 1) % n, n});
        table.triangles.push_back({(k + 1) % n, k, n + 1});
    }
    return table;
}

void PerturbRadially(ModelTable& table, float amount, uint32_t seed)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> factor(1.0f - amount, 1.0f + amount);
    for (Vec3& v : table.vertices) {
        const float f = factor(random);
        v = {v.x * f, v.y * f, v.z * f};
    }
}

void Rotate(ModelTable& table, uint32_t seed)
{
    std::mt19937 random(seed);
    std::normal_distribution<double> gauss;
    // A random unit quaternion.
    double q[4] = {gauss(random), gauss(random), gauss(random), gauss(random)};
    const double length = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    for (double& c : q) c /= length;
    const double w = q[0], x = q[1], y = q[2], z = q[3];
    const double m[3][3] = {{1 - 2 * (y * y + z * z), 2 * (x * y - w * z), 2 * (x * z + w * y)},
                            {2 * (x * y + w * z), 1 - 2 * (x * x + z * z), 2 * (y * z - w * x)},
                            {2 * (x * z - w * y), 2 * (y * z + w * x), 1 - 2 * (x * x + y * y)}};
    for (Vec3& v : table.vertices) {
        const double p[3] = {v.x, v.y, v.z};
        v = {static_cast<float>(m[0][0] * p[0] + m[0][1] * p[1] + m[0][2] * p[2]),
             static_cast<float>(m[1][0] * p[0] + m[1][1] * p[1] + m[1][2] * p[2]),
             static_cast<float>(m[2][0] * p[0] + m[2][1] * p[1] + m[2][2] * p[2])};
    }
}

void SplitIntoFour(ModelTable& table)
{
    // note: the middle of edge (a, b) is found among the few edges of min(a, b).
    std::vector<std::vector<std::pair<int32_t, int32_t>>> middles(table.vertices.size());
    auto middle = [&](int32_t a, int32_t b) {
        std::vector<std::pair<int32_t, int32_t>>& around = middles[static_cast<size_t>(std::min(a, b))];
        for (const auto& [to, index] : around) {
            if (to == std::max(a, b)) return index;
        }
        const Vec3 u = table.vertices[static_cast<size_t>(a)], v = table.vertices[static_cast<size_t>(b)];
        table.vertices.push_back({0.5f * (u.x + v.x), 0.5f * (u.y + v.y), 0.5f * (u.z + v.z)});
        around.emplace_back(std::max(a, b), static_cast<int32_t>(table.vertices.size() - 1));
        return static_cast<int32_t>(table.vertices.size() - 1);
    };
    std::vector<Triangle> finer;
    finer.reserve(table.triangles.size() * 4);
    for (const Triangle& t : table.triangles) {
        const int32_t ab = middle(t[0], t[1]), bc = middle(t[1], t[2]), ca = middle(t[2], t[0]);
        finer.push_back({t[0], ab, ca});
        finer.push_back({t[1], bc, ab});
        finer.push_back({t[2], ca, bc});
        finer.push_back({ab, bc, ca});
    }
    table.triangles = std::move(finer);
}

}  // namespace vorlane
