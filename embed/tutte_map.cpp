#include "embed/tutte_map.h"

#include <Eigen/Sparse>
#include <Eigen/SparseCholesky>
#include <cmath>

#include "embed/sphere_math.h"

namespace vorlane {

std::string TutteMapOnSphere(const ModelTable& table, std::vector<Vec3>& directions, const Progress& progress)
{
    const size_t vertexCount = table.vertices.size();
    size_t largest = 0;
    double largestArea = -1.0;
    std::vector<double> mass(vertexCount, 0.0);
    for (size_t t = 0; t < table.triangles.size(); ++t) {
        const Triangle& f = table.triangles[t];
        const double area = TriangleArea(table.vertices[static_cast<size_t>(f[0])], table.vertices[static_cast<size_t>(f[1])],
                                         table.vertices[static_cast<size_t>(f[2])]);
        for (int32_t v : f) mass[static_cast<size_t>(v)] += area / 3.0;
        if (area > largestArea) {
            largestArea = area;
            largest = t;
        }
    }
    // The removed triangle runs counter-clockwise in the plane, so the others
    // run clockwise there, and counter-clockwise seen from outside once the
    // plane is wrapped onto the sphere from its north pole.
    std::vector<Dvec3> plane(vertexCount);
    std::vector<int> unknown;
    const int count = PinTriangle(table.triangles[largest], plane, unknown);
    if (progress) progress("tutte", 0.0);
    std::vector<Eigen::Triplet<double>> entries;
    entries.reserve(table.triangles.size() * 6);
    Eigen::MatrixXd rhs = Eigen::MatrixXd::Zero(count, 2);
    // Each edge appears once in each of its two triangles: half a weight each.
    for (const Triangle& f : table.triangles) {
        for (int k = 0; k < 3; ++k) {
            const auto u = static_cast<size_t>(f[static_cast<size_t>(k)]), v = static_cast<size_t>(f[static_cast<size_t>((k + 1) % 3)]);
            for (const auto& [i, j] : {std::pair{u, v}, std::pair{v, u}}) {
                if (unknown[i] < 0) continue;
                entries.emplace_back(unknown[i], unknown[i], 0.5);
                if (unknown[j] >= 0) {
                    entries.emplace_back(unknown[i], unknown[j], -0.5);
                } else {
                    rhs(unknown[i], 0) += 0.5 * plane[j].x;
                    rhs(unknown[i], 1) += 0.5 * plane[j].y;
                }
            }
        }
    }
    Eigen::SparseMatrix<double> laplacian(count, count);
    laplacian.setFromTriplets(entries.begin(), entries.end());
    Eigen::SimplicialLDLT<Eigen::SparseMatrix<double>> solver(laplacian);
    if (solver.info() != Eigen::Success) return "the Tutte system could not be factorised";
    const Eigen::MatrixXd solution = solver.solve(rhs);
    if (solver.info() != Eigen::Success) return "the Tutte system could not be solved";
    if (progress) progress("tutte", 0.6);

    for (size_t v = 0; v < vertexCount; ++v) {
        if (unknown[v] >= 0) plane[v] = {solution(unknown[v], 0), solution(unknown[v], 1), 0.0};
    }
    const std::vector<Dvec3> sphere = CentredOnSphere(plane, mass);
    directions.resize(vertexCount);
    for (size_t v = 0; v < vertexCount; ++v) directions[v] = OnSphere(sphere[v]);
    if (progress) progress("tutte", 1.0);
    return {};
}

int PinTriangle(const Triangle& removed, std::vector<D3>& plane, std::vector<int>& unknown)
{
    unknown.assign(plane.size(), 0);
    for (int k = 0; k < 3; ++k) {
        const double angle = M_PI / 2 + 2 * M_PI * k / 3;
        const auto v = static_cast<size_t>(removed[static_cast<size_t>(k)]);
        plane[v] = {std::cos(angle), std::sin(angle), 0.0};
        unknown[v] = -1;
    }
    int count = 0;
    for (int& slot : unknown) {
        if (slot == 0) slot = count++;
    }
    return count;
}

std::vector<D3> CentredOnSphere(const std::vector<D3>& plane, const std::vector<double>& mass)
{
    const size_t vertexCount = plane.size();
    std::vector<Dvec3> sphere(vertexCount);
    for (size_t v = 0; v < vertexCount; ++v) {
        const double u = plane[v].x, w = plane[v].y;
        const double r2 = u * u + w * w;
        sphere[v] = {2 * u / (1 + r2), 2 * w / (1 + r2), (r2 - 1) / (1 + r2)};
    }
    // Moebius centring: the ball automorphism taking the weighted centre c to
    // the origin, repeated until the centre stays there.
    for (int iteration = 0; iteration < 200; ++iteration) {
        Dvec3 centre;
        double total = 0.0;
        for (size_t v = 0; v < vertexCount; ++v) {
            centre = centre + mass[v] * sphere[v];
            total += mass[v];
        }
        centre = (1.0 / total) * centre;
        const double c2 = Dot(centre, centre);
        if (c2 < 1e-20 || !(c2 < 1.0)) break;
        for (Dvec3& x : sphere) {
            const Dvec3 d = x - centre;
            x = Normalized((1.0 / (1.0 - 2.0 * Dot(centre, x) + c2)) * ((1.0 - c2) * d - Dot(d, d) * centre));
        }
    }
    return sphere;
}

}  // namespace vorlane
