// vorlane-check-morph SOURCE TARGET MORPH.glb [--within F]: checks a written
// morph on its own terms, with none of the merge's code: the mesh is closed,
// oriented and of genus 0, no triangle is flat at step 0 or step 20, and
// step 0 lies on SOURCE's surface, step 20 on TARGET's: every vertex within
// 1e-5 of the diagonal, or within F for a simplified morph. Prints one line and exits 0
// when all hold, 1 otherwise (also when a file cannot be read); the first
// fault of each failing check goes to standard error.
//
// --open (first) checks a morph of inputs with holes: edges held by one
// triangle are allowed (holes both shapes have stay open), and each end is
// measured against its input with every hole closed by a fan about the
// hole's centroid, as filled holes lie across them (exact for flat rims).
//
// A morph of shapes in several pieces holds one closed piece per pair of
// them, each of genus 0 (pieces=N is printed then); a piece that shrinks to
// or grows from a point has all its vertices at one place at that end, and
// its triangles there are not counted flat (points=K is printed then).
//
// vorlane-merge writes both ends in the inputs' own coordinates (the
// centre a mesh is merged about is added back, the sphere's turn only moves
// the map), so they are measured against the inputs as read. Vertices are
// taken by index as the file holds them: the writer keeps one vertex per
// merged vertex, so a split one shows as an open edge. Compressed files are
// decoded as a viewer decodes them, so the ends checked are those shown.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "bench/morph_surface.h"
#include "bench/decoded_gltf.h"

namespace {

using vorlane::Triangle;
using vorlane::Vec3;
using namespace vorlane::bench;

struct Topology {
    bool closed = true;
    bool oriented = true;
    int64_t vertices = 0;  // used by some triangle
    int64_t edges = 0;
};

// Closes every loop of edges held by one triangle with a fan about its centroid.
void CloseHoles(Surface& surface)
{
    std::vector<std::pair<std::pair<int32_t, int32_t>, int>> directed;
    for (const Triangle& t : surface.triangles)
        for (size_t k = 0; k < 3; ++k) directed.push_back({{std::min(t[k], t[(k + 1) % 3]), std::max(t[k], t[(k + 1) % 3])}, 0});
    std::sort(directed.begin(), directed.end());
    std::vector<int32_t> next(surface.points.size(), -1);
    for (const Triangle& t : surface.triangles)
        for (size_t k = 0; k < 3; ++k) {
            const int32_t a = t[k], b = t[(k + 1) % 3];
            const auto key = std::make_pair(std::make_pair(std::min(a, b), std::max(a, b)), 0);
            const auto range = std::equal_range(directed.begin(), directed.end(), key);
            if (range.second - range.first == 1) next[static_cast<size_t>(b)] = a;  // the hole runs the rim backwards
        }
    for (size_t v = 0; v < next.size(); ++v) {
        if (next[v] < 0) continue;
        std::vector<int32_t> loop;
        for (int32_t at = static_cast<int32_t>(v); at >= 0 && next[static_cast<size_t>(at)] >= 0;) {
            loop.push_back(at);
            const int32_t to = next[static_cast<size_t>(at)];
            next[static_cast<size_t>(at)] = -1;
            at = to;
        }
        P3 centre;
        for (int32_t p : loop) centre = centre + (1.0 / static_cast<double>(loop.size())) * surface.points[static_cast<size_t>(p)];
        const auto middle = static_cast<int32_t>(surface.points.size());
        surface.points.push_back(centre);
        for (size_t i = 0; i < loop.size(); ++i) surface.triangles.push_back({loop[i], loop[(i + 1) % loop.size()], middle});
    }
}

Topology CheckTopology(const std::vector<Triangle>& triangles, size_t vertexCount, bool open)
{
    Topology topology;
    std::vector<char> used(vertexCount, 0);
    std::vector<std::pair<uint64_t, uint64_t>> directed;  // (from, to)
    directed.reserve(3 * triangles.size());
    for (size_t t = 0; t < triangles.size(); ++t) {
        const Triangle& tri = triangles[t];
        for (int k = 0; k < 3; ++k) {
            const auto a = static_cast<uint64_t>(tri[static_cast<size_t>(k)]);
            const auto b = static_cast<uint64_t>(tri[static_cast<size_t>((k + 1) % 3)]);
            used[a] = 1;
            if (a == b) {
                topology.closed = false;
                std::fprintf(stderr, "triangle %zu repeats vertex %llu\n", t, static_cast<unsigned long long>(a));
            }
            directed.push_back({a, b});
        }
    }
    topology.vertices = std::count(used.begin(), used.end(), 1);
    std::vector<std::pair<uint64_t, uint64_t>> undirected = directed;
    for (auto& edge : undirected)
        if (edge.first > edge.second) std::swap(edge.first, edge.second);
    std::sort(directed.begin(), directed.end());
    std::sort(undirected.begin(), undirected.end());
    for (size_t i = 1; i < directed.size(); ++i)
        if (directed[i] == directed[i - 1] && topology.oriented) {
            topology.oriented = false;
            std::fprintf(stderr, "directed edge %llu->%llu in more than one triangle\n",
                         static_cast<unsigned long long>(directed[i].first), static_cast<unsigned long long>(directed[i].second));
        }
    for (size_t i = 0; i < undirected.size();) {
        size_t j = i;
        while (j < undirected.size() && undirected[j] == undirected[i]) ++j;
        if (j - i != 2 && !(open && j - i == 1) && topology.closed) {
            topology.closed = false;
            std::fprintf(stderr, "edge %llu-%llu in %zu triangles\n", static_cast<unsigned long long>(undirected[i].first),
                         static_cast<unsigned long long>(undirected[i].second), j - i);
        }
        ++topology.edges;
        i = j;
    }
    return topology;
}

// By vertex, its piece (vertices joined through triangles), and how many.
std::vector<int32_t> Pieces(const std::vector<Triangle>& triangles, size_t vertexCount, int64_t& count)
{
    std::vector<int32_t> parent(vertexCount);
    for (size_t v = 0; v < vertexCount; ++v) parent[v] = static_cast<int32_t>(v);
    const auto root = [&](int32_t v) {
        while (parent[static_cast<size_t>(v)] != v) v = parent[static_cast<size_t>(v)] = parent[static_cast<size_t>(parent[static_cast<size_t>(v)])];
        return v;
    };
    for (const Triangle& t : triangles)
        for (int k = 1; k < 3; ++k) {
            const int32_t a = root(t[0]), b = root(t[static_cast<size_t>(k)]);
            if (a != b) parent[static_cast<size_t>(std::max(a, b))] = std::min(a, b);
        }
    std::vector<char> used(vertexCount, 0);
    for (const Triangle& t : triangles)
        for (int32_t corner : t) used[static_cast<size_t>(corner)] = 1;
    count = 0;
    std::vector<int32_t> piece(vertexCount, -1);
    for (size_t v = 0; v < vertexCount; ++v) {
        piece[v] = root(static_cast<int32_t>(v));
        if (used[v] && piece[v] == static_cast<int32_t>(v)) ++count;
    }
    return piece;
}

// By piece (named by its lowest vertex), the box of its used vertices at one step.
std::vector<Box> PieceBoxes(const std::vector<Vec3>& positions, const std::vector<Triangle>& triangles, const std::vector<int32_t>& piece)
{
    std::vector<Box> boxes(positions.size());
    for (const Triangle& t : triangles)
        for (int32_t corner : t) boxes[static_cast<size_t>(piece[static_cast<size_t>(corner)])].Add(ToP(positions[static_cast<size_t>(corner)]));
    return boxes;
}

// Triangles whose twice-area, from the float corners in double, is below
// 1e-12 of the squared diagonal of their piece's bounding box at the step:
// the same threshold the output promises to stay above. A piece whose box
// is below 1e-6 of the step's diagonal is at a point (a piece shrunk or
// grown there; glTF's offsets keep it there only to rounding): counted in
// points, not flat.
int64_t CountFlat(const std::vector<Vec3>& positions, const std::vector<Triangle>& triangles, const char* step,
                  const std::vector<int32_t>& piece, int64_t& points)
{
    const std::vector<Box> boxes = PieceBoxes(positions, triangles, piece);
    Box whole;
    for (const Triangle& t : triangles)
        for (int32_t corner : t) whole.Add(ToP(positions[static_cast<size_t>(corner)]));
    for (size_t p = 0; p < boxes.size(); ++p)
        if (piece[p] == static_cast<int32_t>(p) && boxes[p].high.x >= boxes[p].low.x && boxes[p].Diagonal() < 1e-6 * whole.Diagonal()) ++points;
    int64_t flat = 0;
    for (size_t t = 0; t < triangles.size(); ++t) {
        const Box& box = boxes[static_cast<size_t>(piece[static_cast<size_t>(triangles[t][0])])];
        if (box.Diagonal() < 1e-6 * whole.Diagonal()) continue;
        const double limit = 1e-12 * Dot(box.high - box.low, box.high - box.low);
        const P3 a = ToP(positions[static_cast<size_t>(triangles[t][0])]);
        const P3 b = ToP(positions[static_cast<size_t>(triangles[t][1])]);
        const P3 c = ToP(positions[static_cast<size_t>(triangles[t][2])]);
        const P3 n = Cross(b - a, c - a);
        if (std::sqrt(Dot(n, n)) < limit) {
            if (flat == 0)
                std::fprintf(stderr, "flat at step %s: triangle %zu (%d %d %d), twice its area %.3g of the squared diagonal\n", step,
                             t, triangles[t][0], triangles[t][1], triangles[t][2], std::sqrt(Dot(n, n)) / (limit / 1e-12));
            ++flat;
        }
    }
    return flat;
}

// The largest distance of a used vertex from surface, over its diagonal.
double WorstDistance(const std::vector<Vec3>& positions, const std::vector<Triangle>& triangles, const Surface& surface,
                     const char* step, double within)
{
    const NearestTriangle nearest(surface);
    std::vector<char> used(positions.size(), 0);
    for (const Triangle& t : triangles)
        for (int32_t corner : t) used[static_cast<size_t>(corner)] = 1;
    double worst = 0.0;
    size_t worstVertex = 0;
    for (size_t v = 0; v < positions.size(); ++v) {
        if (!used[v]) continue;
        const double d = nearest.Distance(ToP(positions[v]));
        if (d > worst) worst = d, worstVertex = v;
    }
    const double relative = worst / nearest.Diagonal();
    if (!(relative < within)) {
        const Vec3& p = positions[worstVertex];
        std::fprintf(stderr, "step %s: vertex %zu at (%.9g %.9g %.9g) is %.3g from its surface (diagonal %.6g)\n", step,
                     worstVertex, p.x, p.y, p.z, worst, nearest.Diagonal());
    }
    return relative;
}

}  // namespace

int main(int argc, char** argv)
{
    const bool open = argc > 1 && std::string(argv[1]) == "--open";
    if (open) ++argv, --argc;
    double within = 1e-5;
    if (argc == 6 && std::string(argv[4]) == "--within") {
        char* end = nullptr;
        within = std::strtod(argv[5], &end);
        if (end == argv[5] || *end != '\0' || !(within > 0.0)) argc = 0;
    }
    if (argc != 4 && argc != 6) {
        std::fprintf(stderr, "usage: vorlane-check-morph [--open] SOURCE TARGET MORPH.glb [--within F]\n");
        return 1;
    }
    Surface source, target;
    if (!LoadSurface(argv[1], source) || !LoadSurface(argv[2], target)) return 1;
    if (open) {
        CloseHoles(source);
        CloseHoles(target);
    }
    const DecodedMorph morph = ReadDecodedMorph(argv[3]);
    if (!morph.error.empty()) {
        std::fprintf(stderr, "%s\n", morph.error.c_str());
        return 1;
    }
    const Topology topology = CheckTopology(morph.triangles, morph.startPositions.size(), open);
    const int64_t faces = static_cast<int64_t>(morph.triangles.size());
    const int64_t euler = topology.vertices - topology.edges + faces;
    int64_t pieces = 0, points = 0;
    const std::vector<int32_t> piece = Pieces(morph.triangles, morph.startPositions.size(), pieces);
    const int64_t flat0 = CountFlat(morph.startPositions, morph.triangles, "0", piece, points);
    const int64_t flat20 = CountFlat(morph.endPositions, morph.triangles, "20", piece, points);
    const double dist0 = WorstDistance(morph.startPositions, morph.triangles, source, "0", within);
    const double dist20 = WorstDistance(morph.endPositions, morph.triangles, target, "20", within);
    // V - E + F = 2 (pieces - g) on closed oriented surfaces; odd otherwise says nothing.
    const std::string genus =
        euler % 2 == 0 ? std::to_string(pieces - euler / 2) : "?(V-E+F=" + std::to_string(euler) + ")";
    const std::string several = (pieces > 1 ? " pieces=" + std::to_string(pieces) : std::string()) +
                                (points > 0 ? " points=" + std::to_string(points) : std::string());
    std::printf("closed=%s oriented=%s genus=%s%s V=%lld F=%lld flat0=%lld flat20=%lld dist0=%.2e dist20=%.2e\n",
                topology.closed ? "yes" : "no", topology.oriented ? "yes" : "no", genus.c_str(), several.c_str(),
                static_cast<long long>(topology.vertices), static_cast<long long>(faces), static_cast<long long>(flat0),
                static_cast<long long>(flat20), dist0, dist20);
    const bool sound = topology.closed && topology.oriented && (euler == 2 * pieces || open) && flat0 == 0 && flat20 == 0 &&
                       dist0 < within && dist20 < within;
    return sound ? 0 : 1;
}
