#include "bench/step_measures.h"

#include <gmpxx.h>

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <numeric>

namespace vorlane::bench {

namespace {

using Eigen::Matrix3d;
using Eigen::Vector3d;

Vector3d At(const std::vector<Vec3>& points, int32_t i)
{
    const Vec3& p = points[static_cast<size_t>(i)];
    return {p.x, p.y, p.z};
}

// The sign of det[b - a, c - a, d - a]: in double where the error bound
// allows, else in rationals.
int Orient(const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& d)
{
    const double m[3][3] = {{double(b.x) - a.x, double(b.y) - a.y, double(b.z) - a.z},
                            {double(c.x) - a.x, double(c.y) - a.y, double(c.z) - a.z},
                            {double(d.x) - a.x, double(d.y) - a.y, double(d.z) - a.z}};
    const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                       m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                       m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    double permanent = 0.0;
    for (int i = 0; i < 3; ++i) {
        const int j = (i + 1) % 3, k = (i + 2) % 3;
        permanent += std::fabs(m[0][i]) * (std::fabs(m[1][j] * m[2][k]) + std::fabs(m[1][k] * m[2][j]));
    }
    if (std::fabs(det) > 1e-12 * permanent) return det > 0.0 ? 1 : -1;
    mpq_class e[3][3];
    const Vec3* rows[3] = {&b, &c, &d};
    for (int i = 0; i < 3; ++i) {
        e[i][0] = mpq_class(double(rows[i]->x)) - mpq_class(double(a.x));
        e[i][1] = mpq_class(double(rows[i]->y)) - mpq_class(double(a.y));
        e[i][2] = mpq_class(double(rows[i]->z)) - mpq_class(double(a.z));
    }
    const mpq_class exact = e[0][0] * (e[1][1] * e[2][2] - e[1][2] * e[2][1]) -
                            e[0][1] * (e[1][0] * e[2][2] - e[1][2] * e[2][0]) +
                            e[0][2] * (e[1][0] * e[2][1] - e[1][1] * e[2][0]);
    return sgn(exact);
}

// Segment pq meets triangle abc (touching counts), outside their common plane.
bool SegmentMeets(const Vec3& p, const Vec3& q, const Vec3& a, const Vec3& b, const Vec3& c)
{
    const int sp = Orient(a, b, c, p), sq = Orient(a, b, c, q);
    if (sp == sq) return false;  // both on one side, or both in the plane (left to the other edges)
    const int s1 = Orient(p, q, a, b), s2 = Orient(p, q, b, c), s3 = Orient(p, q, c, a);
    const bool nonNegative = s1 >= 0 && s2 >= 0 && s3 >= 0;
    const bool nonPositive = s1 <= 0 && s2 <= 0 && s3 <= 0;
    return nonNegative || nonPositive;
}

struct Node {
    Vector3d low, high;
    int32_t first = 0, count = 0, left = -1, right = -1;
};

struct Tree {
    std::vector<Node> nodes;
    std::vector<int32_t> order;
    std::vector<Vector3d> low, high;

    int32_t Build(int32_t first, int32_t count)
    {
        Node node;
        node.low = Vector3d::Constant(HUGE_VAL);
        node.high = Vector3d::Constant(-HUGE_VAL);
        for (int32_t i = first; i < first + count; ++i) {
            node.low = node.low.cwiseMin(low[static_cast<size_t>(order[static_cast<size_t>(i)])]);
            node.high = node.high.cwiseMax(high[static_cast<size_t>(order[static_cast<size_t>(i)])]);
        }
        node.first = first;
        node.count = count;
        const int32_t at = static_cast<int32_t>(nodes.size());
        nodes.push_back(node);
        if (count > 8) {
            Eigen::Index axis = 0;
            (node.high - node.low).maxCoeff(&axis);
            auto begin = order.begin() + first, middle = begin + count / 2, end = begin + count;
            std::nth_element(begin, middle, end, [&](int32_t a, int32_t b) {
                return low[static_cast<size_t>(a)](axis) + high[static_cast<size_t>(a)](axis) <
                       low[static_cast<size_t>(b)](axis) + high[static_cast<size_t>(b)](axis);
            });
            const int32_t l = Build(first, count / 2);
            const int32_t r = Build(first + count / 2, count - count / 2);
            nodes[static_cast<size_t>(at)].left = l;
            nodes[static_cast<size_t>(at)].right = r;
        }
        return at;
    }
};

bool Overlap(const Vector3d& l1, const Vector3d& h1, const Vector3d& l2, const Vector3d& h2)
{
    return (l1.array() <= h2.array()).all() && (l2.array() <= h1.array()).all();
}

bool TrianglesMeet(const std::vector<Vec3>& p, const std::array<int32_t, 3>& s, const std::array<int32_t, 3>& t)
{
    for (int k = 0; k < 3; ++k) {
        const Vec3& a = p[static_cast<size_t>(s[static_cast<size_t>(k)])];
        const Vec3& b = p[static_cast<size_t>(s[static_cast<size_t>((k + 1) % 3)])];
        if (SegmentMeets(a, b, p[static_cast<size_t>(t[0])], p[static_cast<size_t>(t[1])], p[static_cast<size_t>(t[2])]))
            return true;
        const Vec3& c = p[static_cast<size_t>(t[static_cast<size_t>(k)])];
        const Vec3& d = p[static_cast<size_t>(t[static_cast<size_t>((k + 1) % 3)])];
        if (SegmentMeets(c, d, p[static_cast<size_t>(s[0])], p[static_cast<size_t>(s[1])], p[static_cast<size_t>(s[2])]))
            return true;
    }
    return false;
}

double TriangleArea(const std::vector<Vec3>& p, const std::array<int32_t, 3>& t)
{
    return 0.5 * (At(p, t[1]) - At(p, t[0])).cross(At(p, t[2]) - At(p, t[0])).norm();
}

// Placed at the area's centre, scaled to unit area.
std::vector<Vector3d> Normalised(const std::vector<Vec3>& points, const Triangles& triangles, const std::vector<int32_t>& used)
{
    Vector3d centre = Vector3d::Zero();
    double area = 0.0;
    for (const auto& t : triangles) {
        const double w = TriangleArea(points, t);
        area += w;
        centre += (w / 3.0) * (At(points, t[0]) + At(points, t[1]) + At(points, t[2]));
    }
    centre /= area;
    std::vector<Vector3d> out;
    out.reserve(used.size());
    for (int32_t v : used) out.push_back((At(points, v) - centre) / std::sqrt(area));
    return out;
}

// Root mean square distance once b is turned to fit a best.
double FittedDistance(const std::vector<Vector3d>& a, const std::vector<Vector3d>& b)
{
    Matrix3d h = Matrix3d::Zero();
    for (size_t i = 0; i < a.size(); ++i) h += a[i] * b[i].transpose();
    const Eigen::JacobiSVD<Matrix3d> svd(h, Eigen::ComputeFullU | Eigen::ComputeFullV);
    Matrix3d flip = Matrix3d::Identity();
    flip(2, 2) = (svd.matrixU() * svd.matrixV().transpose()).determinant() < 0.0 ? -1.0 : 1.0;
    const Matrix3d turn = svd.matrixU() * flip * svd.matrixV().transpose();
    double sum = 0.0;
    for (size_t i = 0; i < a.size(); ++i) sum += (a[i] - turn * b[i]).squaredNorm();
    return std::sqrt(sum / static_cast<double>(a.size()));
}

}  // namespace

double CrossingShare(const std::vector<Vec3>& points, const Triangles& triangles)
{
    Tree tree;
    const size_t n = triangles.size();
    tree.low.resize(n);
    tree.high.resize(n);
    tree.order.resize(n);
    std::iota(tree.order.begin(), tree.order.end(), 0);
    for (size_t i = 0; i < n; ++i) {
        tree.low[i] = At(points, triangles[i][0]).cwiseMin(At(points, triangles[i][1])).cwiseMin(At(points, triangles[i][2]));
        tree.high[i] = At(points, triangles[i][0]).cwiseMax(At(points, triangles[i][1])).cwiseMax(At(points, triangles[i][2]));
    }
    tree.Build(0, static_cast<int32_t>(n));
    std::vector<char> crossing(n, 0);
    std::vector<int32_t> stack;
    for (size_t i = 0; i < n; ++i) {
        stack.assign(1, 0);
        while (!stack.empty()) {
            const Node& node = tree.nodes[static_cast<size_t>(stack.back())];
            stack.pop_back();
            if (!Overlap(node.low, node.high, tree.low[i], tree.high[i])) continue;
            if (node.left >= 0) {
                stack.push_back(node.left);
                stack.push_back(node.right);
                continue;
            }
            for (int32_t k = node.first; k < node.first + node.count; ++k) {
                const size_t j = static_cast<size_t>(tree.order[static_cast<size_t>(k)]);
                if (j <= i || (crossing[i] && crossing[j])) continue;
                if (!Overlap(tree.low[i], tree.high[i], tree.low[j], tree.high[j])) continue;
                const auto& s = triangles[i];
                const auto& t = triangles[j];
                bool shared = false;
                for (int32_t a : s)
                    for (int32_t b : t) shared = shared || a == b;
                if (shared || !TrianglesMeet(points, s, t)) continue;
                crossing[i] = crossing[j] = 1;
            }
        }
    }
    double all = 0.0, crossed = 0.0;
    for (size_t i = 0; i < n; ++i) {
        const double a = TriangleArea(points, triangles[i]);
        all += a;
        if (crossing[i]) crossed += a;
    }
    return all > 0.0 ? crossed / all : 0.0;
}

double EnclosedVolume(const std::vector<Vec3>& points, const Triangles& triangles)
{
    double volume = 0.0;
    for (const auto& t : triangles) volume += At(points, t[0]).dot(At(points, t[1]).cross(At(points, t[2])));
    return volume / 6.0;
}

double SurfaceArea(const std::vector<Vec3>& points, const Triangles& triangles)
{
    double area = 0.0;
    for (const auto& t : triangles) area += TriangleArea(points, t);
    return area;
}

double Sphericity(const std::vector<Vec3>& points, const Triangles& triangles)
{
    const double v = EnclosedVolume(points, triangles), a = SurfaceArea(points, triangles);
    return 36.0 * 3.14159265358979323846 * v * std::fabs(v) / (a * a * a);
}

double ShapeProgress(const std::vector<Vec3>& from, const std::vector<Vec3>& middle, const std::vector<Vec3>& to,
                     const Triangles& triangles)
{
    std::vector<int32_t> used;
    std::vector<char> seen(from.size(), 0);
    for (const auto& t : triangles)
        for (int32_t v : t)
            if (!seen[static_cast<size_t>(v)]) {
                seen[static_cast<size_t>(v)] = 1;
                used.push_back(v);
            }
    const auto a = Normalised(from, triangles, used), m = Normalised(middle, triangles, used), b = Normalised(to, triangles, used);
    const double toFrom = FittedDistance(m, a), toTo = FittedDistance(m, b);
    return toFrom + toTo > 0.0 ? toFrom / (toFrom + toTo) : 0.5;
}

}  // namespace vorlane::bench
