#include "prepare/kernel_centre.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

namespace vorlane {

namespace {

// a . x + r <= b with |a| = 1: a ball of radius r about x lies behind the plane.
struct HalfSpace {
    std::array<double, 3> a{};
    double b = 0.0;
};

using Matrix4 = std::array<std::array<double, 4>, 4>;
using Vector4 = std::array<double, 4>;

constexpr double PivotTolerance = 1e-9;
constexpr double CostTolerance = 1e-10;
constexpr int StallsBeforeBland = 50;
constexpr int IterationLimit = 20000;
// Relative to the mesh's half-size: a thinner kernel is taken for none.
constexpr double ThinnestKernel = 1e-6;

bool Invert(Matrix4 m, Matrix4& inverse)
{
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) inverse[i][j] = i == j ? 1.0 : 0.0;
    for (int column = 0; column < 4; ++column) {
        int pivot = column;
        for (int row = column + 1; row < 4; ++row)
            if (std::fabs(m[row][column]) > std::fabs(m[pivot][column])) pivot = row;
        if (std::fabs(m[pivot][column]) < 1e-14) return false;
        std::swap(m[pivot], m[column]);
        std::swap(inverse[pivot], inverse[column]);
        const double scale = 1.0 / m[column][column];
        for (int j = 0; j < 4; ++j) {
            m[column][j] *= scale;
            inverse[column][j] *= scale;
        }
        for (int row = 0; row < 4; ++row) {
            if (row == column || m[row][column] == 0.0) continue;
            const double factor = m[row][column];
            for (int j = 0; j < 4; ++j) {
                m[row][j] -= factor * m[column][j];
                inverse[row][j] -= factor * inverse[column][j];
            }
        }
    }
    return true;
}

// The dual of "maximise r subject to a_i . x + r <= b_i": minimise sum b_i y_i
// subject to sum y_i (a_i, 1) = (0, 0, 0, 1), y >= 0. It has four rows, so the
// revised simplex method keeps a 4 x 4 basis, and its simplex multipliers at
// the optimum are the primal (x, r). Columns m..m+3 are phase one's
// artificial variables.
class KernelProgram {
public:
    explicit KernelProgram(const std::vector<HalfSpace>& halfSpaces) : h_(halfSpaces), basic_(h_.size() + 4, 0)
    {
        const std::size_t m = h_.size();
        for (std::size_t k = 0; k < 4; ++k) {
            basis_[k] = m + k;
            basic_[m + k] = 1;
        }
    }

    enum class Outcome { Optimal, Unbounded, Stuck };

    Outcome Solve(Vector4& solution)
    {
        if (!Run(true)) return Outcome::Stuck;
        double infeasibility = 0.0;
        for (std::size_t k = 0; k < 4; ++k)
            if (IsArtificial(basis_[k])) infeasibility += x_[k];
        if (infeasibility > 1e-9) return Outcome::Unbounded;
        if (!DriveOutArtificials()) return Outcome::Unbounded;
        if (!Run(false)) return Outcome::Stuck;
        solution = pi_;
        return Outcome::Optimal;
    }

private:
    bool IsArtificial(std::size_t j) const { return j >= h_.size(); }

    Vector4 Column(std::size_t j) const
    {
        if (IsArtificial(j)) {
            Vector4 unit{};
            unit[j - h_.size()] = 1.0;
            return unit;
        }
        return Vector4{h_[j].a[0], h_[j].a[1], h_[j].a[2], 1.0};
    }

    double Cost(std::size_t j, bool phaseOne) const
    {
        if (phaseOne) return IsArtificial(j) ? 1.0 : 0.0;
        return IsArtificial(j) ? 0.0 : h_[j].b;
    }

    Vector4 Times(const Vector4& v) const
    {
        Vector4 out{};
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j) out[i] += inverse_[i][j] * v[j];
        return out;
    }

    // B^-1, the basic values and the multipliers, afresh from the basis so
    // that rounding never builds up over the iterations.
    bool Factor(bool phaseOne)
    {
        Matrix4 b{};
        for (int k = 0; k < 4; ++k) {
            const Vector4 column = Column(basis_[k]);
            for (int i = 0; i < 4; ++i) b[i][k] = column[i];
        }
        if (!Invert(b, inverse_)) return false;
        x_ = Times(Vector4{0.0, 0.0, 0.0, 1.0});
        for (int r = 0; r < 4; ++r) {
            pi_[r] = 0.0;
            for (int k = 0; k < 4; ++k) pi_[r] += Cost(basis_[k], phaseOne) * inverse_[k][r];
        }
        return true;
    }

    bool Run(bool phaseOne)
    {
        bool bland = false;
        int stalls = 0;
        for (int iteration = 0; iteration < IterationLimit; ++iteration) {
            if (!Factor(phaseOne)) return false;
            std::size_t entering = h_.size();
            double best = -CostTolerance;
            for (std::size_t j = 0; j < h_.size(); ++j) {
                if (basic_[j]) continue;
                const HalfSpace& s = h_[j];
                const double reduced =
                    Cost(j, phaseOne) - (pi_[0] * s.a[0] + pi_[1] * s.a[1] + pi_[2] * s.a[2] + pi_[3]);
                if (reduced < best) {
                    best = reduced;
                    entering = j;
                    if (bland) break;
                }
            }
            if (entering == h_.size()) return true;

            const Vector4 u = Times(Column(entering));
            int leaving = -1;
            double smallest = std::numeric_limits<double>::infinity();
            for (int k = 0; k < 4; ++k) {
                if (u[k] <= PivotTolerance) continue;
                const double ratio = std::max(x_[k], 0.0) / u[k];
                // note: ties go to an artificial, then to the lowest index (Bland).
                const bool tie = leaving >= 0 && std::fabs(ratio - smallest) <= 1e-12;
                const bool better = ratio < smallest - 1e-12 ||
                                    (tie && (IsArtificial(basis_[k]) > IsArtificial(basis_[leaving]) ||
                                             (IsArtificial(basis_[k]) == IsArtificial(basis_[leaving]) &&
                                              basis_[k] < basis_[leaving])));
                if (leaving < 0 || better) {
                    leaving = k;
                    smallest = ratio;
                }
            }
            if (leaving < 0) return false;
            stalls = smallest <= 1e-12 ? stalls + 1 : 0;
            if (stalls > StallsBeforeBland) bland = true;
            basic_[basis_[leaving]] = 0;
            basis_[leaving] = entering;
            basic_[entering] = 1;
        }
        return false;
    }

    // An artificial left in the basis at zero is swapped for any column
    // that can take its row; none means the normals do not span space.
    bool DriveOutArtificials()
    {
        for (int k = 0; k < 4; ++k) {
            if (!IsArtificial(basis_[k])) continue;
            if (!Factor(true)) return false;
            bool replaced = false;
            for (std::size_t j = 0; j < h_.size() && !replaced; ++j) {
                if (basic_[j] || std::fabs(Times(Column(j))[k]) <= PivotTolerance) continue;
                basic_[basis_[k]] = 0;
                basis_[k] = j;
                basic_[j] = 1;
                replaced = true;
            }
            if (!replaced) return false;
        }
        return true;
    }

    const std::vector<HalfSpace>& h_;
    std::vector<char> basic_;
    std::array<std::size_t, 4> basis_{};
    Matrix4 inverse_{};
    Vector4 x_{};
    Vector4 pi_{};
};

struct Cross {
    double x, y, z;
};

Cross TriangleCross(const Vec3& p, const Vec3& q, const Vec3& r, const double origin[3], double scale)
{
    const double px = (p.x - origin[0]) / scale, py = (p.y - origin[1]) / scale, pz = (p.z - origin[2]) / scale;
    const double ux = (q.x - origin[0]) / scale - px, uy = (q.y - origin[1]) / scale - py,
                 uz = (q.z - origin[2]) / scale - pz;
    const double wx = (r.x - origin[0]) / scale - px, wy = (r.y - origin[1]) / scale - py,
                 wz = (r.z - origin[2]) / scale - pz;
    return Cross{uy * wz - uz * wy, uz * wx - ux * wz, ux * wy - uy * wx};
}

// Why a mesh that has no usable kernel has none, when the reason is that it
// encloses no volume; empty otherwise. Only chooses the words of a refusal,
// so the tolerance (a volume below 1e-9 of the box at unit half-size, far
// under any rounding of a real solid's) decides nothing else.
// Sets result's problem where the mesh encloses no volume; true if so.
bool NoVolume(const ModelTable& table, const double origin[3], double scale, KernelCentreResult& result)
{
    double volume = 0.0;
    double area[3] = {0.0, 0.0, 0.0};  // sums to zero over a closed surface
    for (const Triangle& t : table.triangles) {
        double p[3][3];
        for (int k = 0; k < 3; ++k) {
            const Vec3& v = table.vertices[static_cast<std::size_t>(t[static_cast<std::size_t>(k)])];
            p[k][0] = (v.x - origin[0]) / scale;
            p[k][1] = (v.y - origin[1]) / scale;
            p[k][2] = (v.z - origin[2]) / scale;
        }
        volume += p[0][0] * (p[1][1] * p[2][2] - p[1][2] * p[2][1]) + p[0][1] * (p[1][2] * p[2][0] - p[1][0] * p[2][2]) +
                  p[0][2] * (p[1][0] * p[2][1] - p[1][1] * p[2][0]);
        const Cross n = TriangleCross(table.vertices[static_cast<std::size_t>(t[0])], table.vertices[static_cast<std::size_t>(t[1])],
                                      table.vertices[static_cast<std::size_t>(t[2])], origin, scale);
        area[0] += n.x;
        area[1] += n.y;
        area[2] += n.z;
    }
    // An open surface is better told it is not closed.
    if (std::fabs(volume / 6.0) > 1e-9 || std::fabs(area[0]) + std::fabs(area[1]) + std::fabs(area[2]) > 1e-9) return false;
    // A solid only a few float steps across, far from the origin, is flattened
    // by the rounding of its coordinates.
    float farthest = 0.0f;
    for (const Vec3& v : table.vertices) farthest = std::max({farthest, std::fabs(v.x), std::fabs(v.y), std::fabs(v.z)});
    const double step = std::nextafter(farthest, std::numeric_limits<float>::infinity()) - farthest;
    if (2.0 * scale < 256.0 * step) {
        std::ostringstream out;
        out.precision(3);
        out << "the mesh collapses in float precision: its vertices lie up to " << farthest << " from the origin, where floats are "
            << step << " apart, too coarse for a mesh " << 2.0 * scale
            << " across, so they lose its shape and enclose no volume (move it nearer the origin)";
        result.problem = CentreProblem::Collapsed;
        result.error = out.str();
        return true;
    }
    result.problem = CentreProblem::NoVolume;
    result.error = "the mesh has no volume: its triangles enclose none (all its vertices lie in one plane, or its faces cancel)";
    return true;
}

}  // namespace

KernelCentreResult FindKernelCentre(const ModelTable& table)
{
    KernelCentreResult result;
    if (table.vertices.empty() || table.triangles.empty()) {
        result.problem = CentreProblem::NoTriangles;
        result.error = "the mesh has no triangles";
        return result;
    }
    double low[3] = {std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity(),
                     std::numeric_limits<double>::infinity()};
    double high[3] = {-low[0], -low[1], -low[2]};
    for (const Vec3& v : table.vertices) {
        const double p[3] = {v.x, v.y, v.z};
        for (int i = 0; i < 3; ++i) {
            low[i] = std::min(low[i], p[i]);
            high[i] = std::max(high[i], p[i]);
        }
    }
    // note: solved about the box's middle at unit half-size, so the fixed
    // tolerances mean the same for every mesh.
    const double origin[3] = {0.5 * (low[0] + high[0]), 0.5 * (low[1] + high[1]), 0.5 * (low[2] + high[2])};
    const double scale = 0.5 * std::max({high[0] - low[0], high[1] - low[1], high[2] - low[2]});
    if (!(scale > 0.0) || !std::isfinite(scale)) {
        result.problem = CentreProblem::NoExtent;
        result.error = "the mesh has no extent";
        return result;
    }

    std::vector<HalfSpace> halfSpaces;
    halfSpaces.reserve(table.triangles.size());
    for (const Triangle& t : table.triangles) {
        const Vec3& p = table.vertices[static_cast<std::size_t>(t[0])];
        const Cross n = TriangleCross(p, table.vertices[static_cast<std::size_t>(t[1])],
                                      table.vertices[static_cast<std::size_t>(t[2])], origin, scale);
        const double length = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
        if (!(length > 1e-300)) continue;
        HalfSpace h;
        h.a = {n.x / length, n.y / length, n.z / length};
        h.b = h.a[0] * ((p.x - origin[0]) / scale) + h.a[1] * ((p.y - origin[1]) / scale) +
              h.a[2] * ((p.z - origin[2]) / scale);
        halfSpaces.push_back(h);
    }
    if (halfSpaces.empty()) {
        result.problem = CentreProblem::NoArea;
        result.error = "the mesh has no triangle of any area";
        return result;
    }

    KernelProgram program(halfSpaces);
    Vector4 solution{};
    const KernelProgram::Outcome outcome = program.Solve(solution);
    if (outcome != KernelProgram::Outcome::Optimal && NoVolume(table, origin, scale, result)) return result;
    switch (outcome) {
        case KernelProgram::Outcome::Optimal:
            break;
        case KernelProgram::Outcome::Unbounded:
            result.problem = CentreProblem::Unbounded;
            result.error = "the region that sees the whole mesh is unbounded: the mesh is not closed";
            return result;
        case KernelProgram::Outcome::Stuck:
            result.problem = CentreProblem::Unsettled;
            result.error = "the kernel centre could not be found (the linear program did not settle)";
            return result;
    }

    result.centre = Vec3{static_cast<float>(origin[0] + scale * solution[0]),
                         static_cast<float>(origin[1] + scale * solution[1]),
                         static_cast<float>(origin[2] + scale * solution[2])};
    // note: measured again from the stored float centre, so a positive
    // radius promises the centre is strictly behind every plane.
    double radius = std::numeric_limits<double>::infinity();
    const double c[3] = {(result.centre.x - origin[0]) / scale, (result.centre.y - origin[1]) / scale,
                         (result.centre.z - origin[2]) / scale};
    for (const HalfSpace& h : halfSpaces) radius = std::min(radius, h.b - (h.a[0] * c[0] + h.a[1] * c[1] + h.a[2] * c[2]));
    if (!(radius > ThinnestKernel)) {
        if (NoVolume(table, origin, scale, result)) return result;
        result.problem = CentreProblem::NotStarShaped;
        result.error = "the mesh is not star-shaped: no point inside it sees every triangle from the front (its "
                       "kernel is empty or too thin)";
        return result;
    }
    result.radius = radius * scale;
    return result;
}

}  // namespace vorlane
