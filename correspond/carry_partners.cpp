#include "correspond/carry_partners.h"

#include <cmath>
#include <functional>
#include <queue>
#include <utility>

#include <Eigen/Core>

#include "correspond/zoom_out.h"

namespace vorlane {

std::vector<D3> CarryToAllVertices(const ModelTable& table, const DecimatedMesh& coarse, const std::vector<D3>& coarsePartners,
                                   const D3& fallback)
{
    const std::size_t n = table.vertices.size();
    std::vector<std::vector<int32_t>> neighbours(n);
    for (const Triangle& t : table.triangles)
        for (int k = 0; k < 3; ++k)
            neighbours[static_cast<std::size_t>(t[static_cast<std::size_t>(k)])].push_back(t[static_cast<std::size_t>((k + 1) % 3)]);
    // Nearest coarse vertex along the edges, by one search from all of them.
    std::vector<int32_t> source(n, -1);
    std::vector<double> distance(n, HUGE_VAL);
    using Entry = std::pair<double, int32_t>;
    std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> queue;
    for (std::size_t c = 0; c < coarse.original.size(); ++c) {
        const auto v = static_cast<std::size_t>(coarse.original[c]);
        source[v] = static_cast<int32_t>(c);
        distance[v] = 0.0;
        queue.push({0.0, static_cast<int32_t>(v)});
    }
    while (!queue.empty()) {
        const auto [d, v] = queue.top();
        queue.pop();
        if (d > distance[static_cast<std::size_t>(v)]) continue;
        const D3 p = ToD(table.vertices[static_cast<std::size_t>(v)]);
        for (int32_t w : neighbours[static_cast<std::size_t>(v)]) {
            const double through = d + Norm(Sub(ToD(table.vertices[static_cast<std::size_t>(w)]), p));
            if (through < distance[static_cast<std::size_t>(w)]) {
                distance[static_cast<std::size_t>(w)] = through;
                source[static_cast<std::size_t>(w)] = source[static_cast<std::size_t>(v)];
                queue.push({through, w});
            }
        }
    }
    std::vector<std::vector<int32_t>> around(coarse.points.size());
    for (std::size_t t = 0; t < coarse.triangles.size(); ++t)
        for (int32_t corner : coarse.triangles[t]) around[static_cast<std::size_t>(corner)].push_back(static_cast<int32_t>(t));
    const auto vector = [](const D3& p) -> Eigen::VectorXd {
        Eigen::VectorXd x(3);
        x << p.x, p.y, p.z;
        return x;
    };
    std::vector<D3> partners(n, fallback);
    for (std::size_t v = 0; v < n; ++v) {
        const int32_t c = source[v];
        if (c < 0) continue;
        partners[v] = coarsePartners[static_cast<std::size_t>(c)];
        if (distance[v] == 0.0) continue;
        const Eigen::VectorXd q = vector(ToD(table.vertices[v]));
        double best = HUGE_VAL;
        for (int32_t t : around[static_cast<std::size_t>(c)]) {
            const Triangle& corners = coarse.triangles[static_cast<std::size_t>(t)];
            double w[3];
            const double d = ProjectOnTriangle(q, vector(coarse.points[static_cast<std::size_t>(corners[0])]),
                                               vector(coarse.points[static_cast<std::size_t>(corners[1])]),
                                               vector(coarse.points[static_cast<std::size_t>(corners[2])]), w);
            if (d < best) {
                best = d;
                D3 point{0.0, 0.0, 0.0};
                for (int i = 0; i < 3; ++i)
                    point = point + w[i] * coarsePartners[static_cast<std::size_t>(corners[static_cast<std::size_t>(i)])];
                partners[v] = point;
            }
        }
    }
    return partners;
}

}  // namespace vorlane
