// Which piece of one shape morphs into which piece of the other.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "geometry/vec3.h"

namespace vorlane {

// A piece as the pairing sees it: the box of its vertices in table coordinates.
struct PieceBox {
    Vec3 low;
    Vec3 high;
};

struct PiecePairing {
    int32_t sourcePieces = 1;
    int32_t targetPieces = 1;
    std::vector<std::pair<int32_t, int32_t>> pairs;  // (source piece, target piece), by source piece
    // Pieces left without a partner, each with the piece of the other shape
    // it shrinks onto (a source piece) or grows from (a target piece).
    std::vector<std::pair<int32_t, int32_t>> sourceAlone;  // (source piece, target piece)
    std::vector<std::pair<int32_t, int32_t>> targetAlone;  // (target piece, source piece)
};

// Pairs pieces by place and size once both shapes are laid on each other,
// each shape's pieces measured in its whole box (middle at the origin,
// diagonal 1): cost the distance of the box middles plus half the
// magnitude of the logarithm of the ratio of the box diagonals, cheapest
// first, ties to the lower source piece, then the lower target piece; as
// many pairs as the fewer pieces. A piece left over goes with the piece of
// the other shape whose middle is nearest its own. A piece of no extent
// counts as a hundred-thousandth of its shape's diagonal.
PiecePairing PairPieces(const std::vector<PieceBox>& source, const std::vector<PieceBox>& target);

// Where a point at place in the frame of a shape of box `from` lies in the
// frame of one of box `to` (middles on each other, diagonals scaled alike).
Vec3 InOtherFrame(const Vec3& place, const PieceBox& from, const PieceBox& to);

// The box around boxes.
PieceBox Around(const std::vector<PieceBox>& boxes);

// " pieces 5:2 paired 0-1 1-0 unpaired 2>point point>1" where either shape
// is in several pieces; empty where both are one.
std::string PairingText(const PiecePairing& pairing);

}  // namespace vorlane
