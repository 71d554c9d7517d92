#include "correspond/correspondence.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "base/two_halves.h"
#include "correspond/carry_partners.h"
#include "correspond/decimated_mesh.h"
#include "correspond/laplace_modes.h"
#include "correspond/zoom_out.h"

namespace vorlane {

namespace {

// Bars of a near-isometric pair, from bent, remeshed and turned copies of
// real meshes against pairs of different animals (see the pose-pair bench).
constexpr double ConfidentResidual = 0.25;
constexpr double ConfidentOrthogonality = 0.8;
constexpr double ConfidentCoverage = 0.35;

constexpr int FirstModes = 5;      // constant and four modes, their signs tried
constexpr int ScreenModes = 16;    // each candidate grown to this many
constexpr Eigen::Index ScreenSamples = 300;
constexpr Eigen::Index ScreenTargets = 1500;
constexpr Eigen::Index FinalSamples = 1000;
// Candidates this close to the best fit count as equally good (a shape's
// two mirror maps fit alike): the hint chooses among them.
constexpr double AlikeFactor = 1.3;
constexpr double AlikeMargin = 0.02;

struct Side {
    DecimatedMesh mesh;
    LaplaceModes modes;
};

Side Prepare(const ModelTable& table, const CorrespondOptions& options)
{
    Side side;
    side.mesh = DecimateMesh(table, options.vertexCap);
    side.modes = ComputeLaplaceModes(side.mesh.points, side.mesh.triangles, options.basis);
    return side;
}

std::vector<std::vector<int32_t>> TrianglesByVertex(const DecimatedMesh& mesh)
{
    std::vector<std::vector<int32_t>> around(mesh.points.size());
    for (std::size_t t = 0; t < mesh.triangles.size(); ++t)
        for (int32_t corner : mesh.triangles[t]) around[static_cast<std::size_t>(corner)].push_back(static_cast<int32_t>(t));
    return around;
}

// Per follower sample, the nearest of the leader's first targets in space
// to its hint.
std::vector<int32_t> HintedMap(const Side& follower, const Side& leader, const std::vector<D3>& hint, Eigen::Index samples,
                               Eigen::Index targets)
{
    std::vector<int32_t> map(static_cast<std::size_t>(samples), 0);
    for (Eigen::Index s = 0; s < samples; ++s) {
        const D3& p = hint[static_cast<std::size_t>(follower.mesh.original[static_cast<std::size_t>(s)])];
        double best = HUGE_VAL;
        for (Eigen::Index t = 0; t < targets; ++t) {
            const D3 off = Sub(p, leader.mesh.points[static_cast<std::size_t>(t)]);
            if (Dot(off, off) < best) {
                best = Dot(off, off);
                map[static_cast<std::size_t>(s)] = static_cast<int32_t>(t);
            }
        }
    }
    return map;
}

double HintDistance(const Side& follower, const Side& leader, const std::vector<D3>& hint, const std::vector<int32_t>& map)
{
    double sum = 0.0;
    for (std::size_t s = 0; s < map.size(); ++s)
        sum += Norm(Sub(hint[static_cast<std::size_t>(follower.mesh.original[s])],
                        leader.mesh.points[static_cast<std::size_t>(map[s])]));
    return sum / static_cast<double>(std::max<std::size_t>(map.size(), 1));
}

// The map of the first modes to start from: of the sign patterns of the
// first modes (and the hint's map), the one whose grown map fits best, or
// among those that fit about as well, the one nearest the hint.
Eigen::MatrixXd ChooseStart(const Side& follower, const Side& leader, const std::vector<D3>& hint)
{
    const Eigen::Index samples = std::min(ScreenSamples, follower.modes.functions.rows());
    const Eigen::Index targets = std::min(ScreenTargets, leader.modes.functions.rows());
    const Eigen::MatrixXd a = follower.modes.functions.topRows(samples);
    const Eigen::MatrixXd b = leader.modes.functions.topRows(targets);
    const int screen = std::min<int>(ScreenModes, static_cast<int>(a.cols()));
    const int first = std::min(FirstModes, screen);
    std::vector<Eigen::MatrixXd> starts;
    for (int signs = 0; signs < 1 << (first - 1); ++signs) {
        Eigen::MatrixXd c = Eigen::MatrixXd::Identity(first, first);
        for (int k = 1; k < first; ++k)
            if (signs & (1 << (k - 1))) c(k, k) = -1.0;
        starts.push_back(std::move(c));
    }
    if (!hint.empty()) starts.push_back(FitModes(a, b, HintedMap(follower, leader, hint, samples, targets), first));
    std::vector<SpectralMap> grown;
    double best = HUGE_VAL;
    for (const Eigen::MatrixXd& c : starts) {
        grown.push_back(ZoomOut(a, b, c, screen, 1));
        best = std::min(best, grown.back().residual + grown.back().orthogonality);
    }
    std::size_t chosen = 0;
    double chosenKey = HUGE_VAL;
    for (std::size_t i = 0; i < grown.size(); ++i) {
        const double fit = grown[i].residual + grown[i].orthogonality;
        if (fit > AlikeFactor * best + AlikeMargin) continue;
        const double key = hint.empty() ? fit : HintDistance(follower, leader, hint, grown[i].map);
        if (key < chosenKey) {
            chosenKey = key;
            chosen = i;
        }
    }
    return grown[chosen].c;
}

// Per decimated follower vertex, its partner on the leader's decimated
// surface: the nearest leader vertex in the modes' coordinates, then the
// nearest point of the triangles about it there.
std::vector<D3> DecimatedPartners(const Side& follower, const Side& leader, const Eigen::MatrixXd& c,
                                  const std::vector<int32_t>& map)
{
    const int k = static_cast<int>(c.rows());
    const Eigen::MatrixXd carried = follower.modes.functions.leftCols(k) * c;
    const Eigen::MatrixXd basis = leader.modes.functions.leftCols(k);
    const std::vector<std::vector<int32_t>> around = TrianglesByVertex(leader.mesh);
    std::vector<D3> partners(map.size());
    for (std::size_t f = 0; f < map.size(); ++f) {
        const int32_t v = map[f];
        partners[f] = leader.mesh.points[static_cast<std::size_t>(v)];
        const Eigen::VectorXd q = carried.row(static_cast<Eigen::Index>(f)).transpose();
        const Eigen::VectorXd at = basis.row(v).transpose();
        double best = (q - at).squaredNorm();
        for (int32_t t : around[static_cast<std::size_t>(v)]) {
            const Triangle& corners = leader.mesh.triangles[static_cast<std::size_t>(t)];
            double w[3];
            const Eigen::VectorXd p0 = basis.row(corners[0]).transpose(), p1 = basis.row(corners[1]).transpose(),
                                  p2 = basis.row(corners[2]).transpose();
            const double distance = ProjectOnTriangle(q, p0, p1, p2, w);
            if (distance < best) {
                best = distance;
                D3 point{0.0, 0.0, 0.0};
                for (int i = 0; i < 3; ++i) point = point + w[i] * leader.mesh.points[static_cast<std::size_t>(corners[static_cast<std::size_t>(i)])];
                partners[f] = point;
            }
        }
    }
    return partners;
}

}  // namespace

Correspondence Correspond(const ModelTable& leader, const ModelTable& follower, const CorrespondOptions& options,
                          const Progress& progress)
{
    Correspondence result;
    constexpr std::size_t Fewest = 100;
    if (leader.vertices.size() < Fewest || follower.vertices.size() < Fewest || options.basis < FirstModes) return result;
    if (!options.hint.empty() && options.hint.size() != follower.vertices.size()) return result;
    if (progress) progress("corresponding (modes)", 0.0);
    Side leaderSide, followerSide;
    BothAtOnce(true, [&] { leaderSide = Prepare(leader, options); }, [&] { followerSide = Prepare(follower, options); });
    const Eigen::Index k = std::min(leaderSide.modes.values.size(), followerSide.modes.values.size());
    if (k < FirstModes) return result;
    if (progress) progress("corresponding (maps)", 0.3);
    const Eigen::MatrixXd start = ChooseStart(followerSide, leaderSide, options.hint);
    const Eigen::Index samples = std::min(FinalSamples, followerSide.modes.functions.rows());
    const Eigen::MatrixXd a = followerSide.modes.functions.topRows(samples);
    const SpectralMap grown = ZoomOut(a, leaderSide.modes.functions, start, static_cast<int>(k), 2);
    if (progress) progress("corresponding (points)", 0.7);
    const int kk = static_cast<int>(grown.c.rows());
    const Eigen::MatrixXd carried = followerSide.modes.functions.leftCols(kk) * grown.c;
    const std::vector<int32_t> map = NearestRows(carried, leaderSide.modes.functions.leftCols(kk));
    std::vector<char> hit(leaderSide.mesh.points.size(), 0);
    for (int32_t v : map) hit[static_cast<std::size_t>(v)] = 1;
    result.coverage = static_cast<double>(std::count(hit.begin(), hit.end(), 1)) / static_cast<double>(hit.size());
    result.residual = grown.residual;
    result.orthogonality = grown.orthogonality;
    result.confident = result.residual < ConfidentResidual && result.orthogonality < ConfidentOrthogonality &&
                       result.coverage > ConfidentCoverage;
    const std::vector<D3> coarse = DecimatedPartners(followerSide, leaderSide, grown.c, map);
    result.partners = CarryToAllVertices(follower, followerSide.mesh, coarse, leaderSide.mesh.points.front());
    if (progress) progress("corresponding", 1.0);
    return result;
}

}  // namespace vorlane
