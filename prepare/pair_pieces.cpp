#include "prepare/pair_pieces.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <tuple>

namespace vorlane {

namespace {

struct Measured {
    double middle[3];
    double size;  // diagonal over the whole's
};

double Diagonal(const PieceBox& box)
{
    const double dx = double{box.high.x} - box.low.x, dy = double{box.high.y} - box.low.y, dz = double{box.high.z} - box.low.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

std::vector<Measured> InWholeBox(const std::vector<PieceBox>& pieces)
{
    const PieceBox whole = Around(pieces);
    const double diagonal = Diagonal(whole);
    const double scale = diagonal > 0.0 ? 1.0 / diagonal : 1.0;
    const double centre[3] = {0.5 * (double{whole.low.x} + whole.high.x), 0.5 * (double{whole.low.y} + whole.high.y),
                              0.5 * (double{whole.low.z} + whole.high.z)};
    std::vector<Measured> out;
    for (const PieceBox& box : pieces) {
        const double middle[3] = {0.5 * (double{box.low.x} + box.high.x), 0.5 * (double{box.low.y} + box.high.y),
                                  0.5 * (double{box.low.z} + box.high.z)};
        Measured m{};
        for (int k = 0; k < 3; ++k) m.middle[k] = (middle[k] - centre[k]) * scale;
        m.size = std::max(Diagonal(box) * scale, 1e-5);
        out.push_back(m);
    }
    return out;
}

double Distance(const Measured& a, const Measured& b)
{
    const double dx = a.middle[0] - b.middle[0], dy = a.middle[1] - b.middle[1], dz = a.middle[2] - b.middle[2];
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// The piece of others whose middle is nearest piece's, the lower on a tie.
int32_t Nearest(const Measured& piece, const std::vector<Measured>& others)
{
    int32_t best = 0;
    for (std::size_t k = 1; k < others.size(); ++k)
        if (Distance(piece, others[k]) < Distance(piece, others[static_cast<std::size_t>(best)])) best = static_cast<int32_t>(k);
    return best;
}

}  // namespace

PieceBox Around(const std::vector<PieceBox>& boxes)
{
    if (boxes.empty()) return {};
    PieceBox whole = boxes.front();
    for (const PieceBox& b : boxes) {
        whole.low = {std::min(whole.low.x, b.low.x), std::min(whole.low.y, b.low.y), std::min(whole.low.z, b.low.z)};
        whole.high = {std::max(whole.high.x, b.high.x), std::max(whole.high.y, b.high.y), std::max(whole.high.z, b.high.z)};
    }
    return whole;
}

Vec3 InOtherFrame(const Vec3& place, const PieceBox& from, const PieceBox& to)
{
    const double fromSize = Diagonal(from), toSize = Diagonal(to);
    const double scale = fromSize > 0.0 ? toSize / fromSize : 1.0;
    const auto map = [&](float p, float fromLow, float fromHigh, float toLow, float toHigh) {
        return static_cast<float>((p - 0.5 * (double{fromLow} + fromHigh)) * scale + 0.5 * (double{toLow} + toHigh));
    };
    return {map(place.x, from.low.x, from.high.x, to.low.x, to.high.x), map(place.y, from.low.y, from.high.y, to.low.y, to.high.y),
            map(place.z, from.low.z, from.high.z, to.low.z, to.high.z)};
}

PiecePairing PairPieces(const std::vector<PieceBox>& source, const std::vector<PieceBox>& target)
{
    PiecePairing pairing;
    pairing.sourcePieces = static_cast<int32_t>(source.size());
    pairing.targetPieces = static_cast<int32_t>(target.size());
    const std::vector<Measured> s = InWholeBox(source), t = InWholeBox(target);
    std::vector<std::tuple<double, int32_t, int32_t>> costs;
    for (std::size_t i = 0; i < s.size(); ++i)
        for (std::size_t j = 0; j < t.size(); ++j)
            costs.emplace_back(Distance(s[i], t[j]) + 0.5 * std::fabs(std::log(s[i].size / t[j].size)), static_cast<int32_t>(i),
                               static_cast<int32_t>(j));
    std::sort(costs.begin(), costs.end());
    std::vector<char> sourceTaken(s.size(), 0), targetTaken(t.size(), 0);
    for (const auto& [cost, i, j] : costs) {
        if (sourceTaken[static_cast<std::size_t>(i)] || targetTaken[static_cast<std::size_t>(j)]) continue;
        sourceTaken[static_cast<std::size_t>(i)] = targetTaken[static_cast<std::size_t>(j)] = 1;
        pairing.pairs.push_back({i, j});
    }
    std::sort(pairing.pairs.begin(), pairing.pairs.end());
    for (std::size_t i = 0; i < s.size(); ++i)
        if (!sourceTaken[i]) pairing.sourceAlone.push_back({static_cast<int32_t>(i), Nearest(s[i], t)});
    for (std::size_t j = 0; j < t.size(); ++j)
        if (!targetTaken[j]) pairing.targetAlone.push_back({static_cast<int32_t>(j), Nearest(t[j], s)});
    return pairing;
}

std::string PairingText(const PiecePairing& pairing)
{
    if (pairing.sourcePieces <= 1 && pairing.targetPieces <= 1) return {};
    std::string text = " pieces " + std::to_string(pairing.sourcePieces) + ":" + std::to_string(pairing.targetPieces) + " paired";
    for (const auto& [i, j] : pairing.pairs) text += " " + std::to_string(i) + "-" + std::to_string(j);
    if (!pairing.sourceAlone.empty() || !pairing.targetAlone.empty()) text += " unpaired";
    for (const auto& alone : pairing.sourceAlone) text += " " + std::to_string(alone.first) + ">point";
    for (const auto& alone : pairing.targetAlone) text += " point>" + std::to_string(alone.first);
    return text;
}

}  // namespace vorlane
