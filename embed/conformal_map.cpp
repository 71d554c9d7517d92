#include "embed/conformal_map.h"

#include <Eigen/Sparse>
#include <Eigen/SparseCholesky>
#include <algorithm>
#include <cmath>
#include <utility>

#include "embed/sphere_math.h"
#include "embed/tutte_map.h"

namespace vorlane {
namespace {

// Edge weights are held in this range: positive keeps the map an
// embedding, and the top keeps needles from swamping the system.
constexpr double kLeastWeight = 1e-3;
constexpr double kMostWeight = 1e3;

// cot of the angle between u and v; a zero angle is the largest weight.
double Cotangent(const Dvec3& u, const Dvec3& v)
{
    const double cosine = Dot(u, v), sine = Norm(Cross(u, v));
    if (sine > 0.0) return cosine / sine;
    return cosine > 0.0 ? kMostWeight : 0.0;
}

}  // namespace

std::string ConformalMapOnSphere(const ModelTable& table, std::vector<D3>& units, const Progress& progress)
{
    const size_t vertexCount = table.vertices.size();
    size_t largest = 0;
    double largestArea = -1.0;
    std::vector<double> mass(vertexCount, 0.0);
    using Entry = Eigen::Triplet<double, int>;
    std::vector<Entry> halves;
    halves.reserve(table.triangles.size() * 3);
    for (size_t t = 0; t < table.triangles.size(); ++t) {
        const Triangle& f = table.triangles[t];
        const Dvec3 p[3] = {ToD(table.vertices[static_cast<size_t>(f[0])]), ToD(table.vertices[static_cast<size_t>(f[1])]),
                            ToD(table.vertices[static_cast<size_t>(f[2])])};
        const double area = 0.5 * Norm(Cross(p[1] - p[0], p[2] - p[0]));
        for (int32_t v : f) mass[static_cast<size_t>(v)] += area / 3.0;
        if (area > largestArea) {
            largestArea = area;
            largest = t;
        }
        for (size_t k = 0; k < 3; ++k) {
            const size_t i = (k + 1) % 3, j = (k + 2) % 3;
            const double half = 0.5 * Cotangent(p[i] - p[k], p[j] - p[k]);
            halves.emplace_back(std::min(f[i], f[j]), std::max(f[i], f[j]), half);
        }
    }
    // As the Tutte map: the removed triangle counter-clockwise in the plane.
    std::vector<Dvec3> plane(vertexCount);
    std::vector<int> unknown;
    const int count = PinTriangle(table.triangles[largest], plane, unknown);
    if (progress) progress("conformal", 0.0);
    const auto n = static_cast<int>(vertexCount);
    Eigen::SparseMatrix<double> weights(n, n);
    weights.setFromTriplets(halves.begin(), halves.end());
    halves.clear();
    halves.shrink_to_fit();

    std::vector<Entry> entries;
    entries.reserve(static_cast<size_t>(weights.nonZeros()) * 3);
    Eigen::MatrixXd rhs = Eigen::MatrixXd::Zero(count, 2);
    for (int column = 0; column < weights.outerSize(); ++column) {
        for (Eigen::SparseMatrix<double>::InnerIterator it(weights, column); it; ++it) {
            const double w = std::clamp(it.value(), kLeastWeight, kMostWeight);
            const auto a = static_cast<size_t>(it.row()), b = static_cast<size_t>(it.col());
            for (const auto& [i, j] : {std::pair{a, b}, std::pair{b, a}}) {
                if (unknown[i] < 0) continue;
                entries.emplace_back(unknown[i], unknown[i], w);
                if (unknown[j] >= 0) {
                    if (unknown[j] < unknown[i]) entries.emplace_back(unknown[i], unknown[j], -w);
                } else {
                    rhs(unknown[i], 0) += w * plane[j].x;
                    rhs(unknown[i], 1) += w * plane[j].y;
                }
            }
        }
    }
    weights = {};
    // note: only the lower triangle is stored, all the solver reads.
    Eigen::SparseMatrix<double> laplacian(count, count);
    laplacian.setFromTriplets(entries.begin(), entries.end());
    entries = {};
    Eigen::SimplicialLDLT<Eigen::SparseMatrix<double>, Eigen::Lower> solver(laplacian);
    if (solver.info() != Eigen::Success) return "the conformal system could not be factorised";
    if (progress) progress("conformal", 0.6);
    const Eigen::MatrixXd solution = solver.solve(rhs);
    if (solver.info() != Eigen::Success) return "the conformal system could not be solved";
    for (size_t v = 0; v < vertexCount; ++v) {
        if (unknown[v] >= 0) plane[v] = {solution(unknown[v], 0), solution(unknown[v], 1), 0.0};
    }
    units = CentredOnSphere(plane, mass);
    if (progress) progress("conformal", 1.0);
    return {};
}

}  // namespace vorlane
