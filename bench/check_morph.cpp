// vorlane-check-morph SOURCE TARGET MORPH.glb: checks a written morph on its
// own terms, with none of the merge's code: the mesh is closed, oriented
// and of genus 0, no triangle is flat at step 0 or step 20, and step 0 lies
// on SOURCE's surface, step 20 on TARGET's. Prints one line and exits 0
// when all hold, 1 otherwise (also when a file cannot be read); the first
// fault of each failing check goes to standard error.
//
// vorlane-merge writes both ends in the inputs' own coordinates (the
// centre a mesh is merged about is added back, the sphere's turn only moves
// the map), so they are measured against the inputs as read. Vertices are
// taken by index as the file holds them: the writer keeps one vertex per
// merged vertex, so a split one shows as an open edge.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "geometry/model_catalogue.h"
#include "io/gltf_reader.h"
#include "io/mesh_reader.h"

namespace {

using vorlane::Triangle;
using vorlane::Vec3;

struct P3 {
    double x = 0.0, y = 0.0, z = 0.0;
};
P3 ToP(const Vec3& v) { return {v.x, v.y, v.z}; }
P3 operator-(const P3& a, const P3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
P3 operator+(const P3& a, const P3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
P3 operator*(double s, const P3& a) { return {s * a.x, s * a.y, s * a.z}; }
double Dot(const P3& a, const P3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
P3 Cross(const P3& a, const P3& b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }

struct Box {
    P3 low{HUGE_VAL, HUGE_VAL, HUGE_VAL};
    P3 high{-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    void Add(const P3& p)
    {
        low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
        high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
    }
    double Diagonal() const { return std::sqrt(Dot(high - low, high - low)); }
};

struct Surface {
    std::vector<P3> points;
    std::vector<Triangle> triangles;
};

// A built-in model by name (about the origin, as vorlane-merge builds it
// without a centre) or a mesh file.
bool LoadSurface(const std::string& argument, Surface& surface)
{
    std::vector<Vec3> points;
    if (const vorlane::CatalogueEntry* entry = vorlane::FindCatalogueModel(argument)) {
        const vorlane::Polyhedron model = entry->build(Vec3{});
        for (const Vec3& v : model.vertices) points.push_back(vorlane::Add(v, model.centre));
        surface.triangles = model.faces;
    } else {
        vorlane::MeshReadResult read = vorlane::ReadMeshFile(argument);
        if (!read.error.empty()) {
            std::fprintf(stderr, "%s\n", read.error.c_str());
            return false;
        }
        points = std::move(read.table.vertices);
        surface.triangles = std::move(read.table.triangles);
    }
    for (const Vec3& v : points) surface.points.push_back(ToP(v));
    return true;
}

// Ericson's closest point on triangle abc to p, by the Voronoi regions of
// its corners and sides; a degenerate triangle still gives a point on it.
P3 ClosestOnTriangle(const P3& p, const P3& a, const P3& b, const P3& c)
{
    const P3 ab = b - a, ac = c - a, ap = p - a;
    const double d1 = Dot(ab, ap), d2 = Dot(ac, ap);
    if (d1 <= 0.0 && d2 <= 0.0) return a;
    const P3 bp = p - b;
    const double d3 = Dot(ab, bp), d4 = Dot(ac, bp);
    if (d3 >= 0.0 && d4 <= d3) return b;
    const double vc = d1 * d4 - d3 * d2;
    if (vc <= 0.0 && d1 >= 0.0 && d3 <= 0.0) return a + (d1 / (d1 - d3)) * ab;
    const P3 cp = p - c;
    const double d5 = Dot(ab, cp), d6 = Dot(ac, cp);
    if (d6 >= 0.0 && d5 <= d6) return c;
    const double vb = d5 * d2 - d1 * d6;
    if (vb <= 0.0 && d2 >= 0.0 && d6 <= 0.0) return a + (d2 / (d2 - d6)) * ac;
    const double va = d3 * d6 - d5 * d4;
    if (va <= 0.0 && d4 - d3 >= 0.0 && d5 - d6 >= 0.0) return b + ((d4 - d3) / ((d4 - d3) + (d5 - d6))) * (c - b);
    const double sum = va + vb + vc;
    if (!(sum > 0.0)) {
        // note: collinear corners; the nearest of the three sides then.
        P3 best = a;
        double bestDistance = HUGE_VAL;
        const P3 ends[3][2] = {{a, b}, {b, c}, {c, a}};
        for (const auto& side : ends) {
            const P3 d = side[1] - side[0];
            const double length = Dot(d, d);
            const double t = length > 0.0 ? std::clamp(Dot(p - side[0], d) / length, 0.0, 1.0) : 0.0;
            const P3 q = side[0] + t * d;
            if (Dot(p - q, p - q) < bestDistance) bestDistance = Dot(p - q, p - q), best = q;
        }
        return best;
    }
    return a + (vb / sum) * ab + (vc / sum) * ac;
}

// Triangles binned by bounding box into a uniform grid of about two cells a
// triangle; a query searches rings of cells outwards until no unvisited
// cell can be nearer than the best found.
class NearestTriangle {
public:
    explicit NearestTriangle(const Surface& surface) : surface_(surface)
    {
        for (const P3& p : surface.points) box_.Add(p);
        const P3 extent = box_.high - box_.low;
        const double largest = std::max({extent.x, extent.y, extent.z, 1e-30});
        const double cells = std::max(1.0, 2.0 * static_cast<double>(surface.triangles.size()));
        const double volume = std::max(extent.x, largest * 1e-3) * std::max(extent.y, largest * 1e-3) *
                              std::max(extent.z, largest * 1e-3);
        const double side = std::cbrt(volume / cells);
        const double extents[3] = {extent.x, extent.y, extent.z};
        for (int k = 0; k < 3; ++k) {
            count_[k] = static_cast<int>(std::clamp(std::ceil(extents[k] / side), 1.0, 1024.0));
            size_[k] = std::max(extents[k] / count_[k], largest * 1e-9);
        }
        std::vector<std::pair<int64_t, int32_t>> entries;
        for (size_t t = 0; t < surface.triangles.size(); ++t) {
            Box b;
            for (int32_t corner : surface.triangles[t]) b.Add(surface.points[static_cast<size_t>(corner)]);
            const std::array<int, 3> lo = Cell(b.low), hi = Cell(b.high);
            for (int i = lo[0]; i <= hi[0]; ++i)
                for (int j = lo[1]; j <= hi[1]; ++j)
                    for (int k = lo[2]; k <= hi[2]; ++k) entries.push_back({Index(i, j, k), static_cast<int32_t>(t)});
        }
        std::sort(entries.begin(), entries.end());
        start_.assign(static_cast<size_t>(count_[0]) * count_[1] * count_[2] + 1, 0);
        for (const auto& entry : entries) ++start_[static_cast<size_t>(entry.first) + 1];
        for (size_t c = 1; c < start_.size(); ++c) start_[c] += start_[c - 1];
        for (const auto& entry : entries) triangles_.push_back(entry.second);
    }

    double Distance(const P3& p) const
    {
        const std::array<int, 3> c = Cell(p);
        double best = HUGE_VAL;
        const int rings = std::max({count_[0], count_[1], count_[2]});
        for (int r = 0; r <= rings; ++r) {
            for (int i = std::max(0, c[0] - r); i <= std::min(count_[0] - 1, c[0] + r); ++i)
                for (int j = std::max(0, c[1] - r); j <= std::min(count_[1] - 1, c[1] + r); ++j) {
                    // Inside the ring's faces in i and j only its two k ends are new.
                    const bool inner = std::abs(i - c[0]) < r && std::abs(j - c[1]) < r;
                    for (int k = c[2] - r; k <= c[2] + r; k += inner ? 2 * r : 1) {
                        if (k < 0 || k >= count_[2]) continue;
                        const size_t cell = static_cast<size_t>(Index(i, j, k));
                        for (size_t e = start_[cell]; e < start_[cell + 1]; ++e) {
                            const Triangle& t = surface_.triangles[static_cast<size_t>(triangles_[e])];
                            const P3 q = ClosestOnTriangle(p, surface_.points[static_cast<size_t>(t[0])],
                                                           surface_.points[static_cast<size_t>(t[1])],
                                                           surface_.points[static_cast<size_t>(t[2])]);
                            best = std::min(best, Dot(p - q, p - q));
                        }
                    }
                }
            if (best < HUGE_VAL && std::sqrt(best) <= Clearance(p, c, r)) break;
        }
        return std::sqrt(best);
    }

    double Diagonal() const { return box_.Diagonal(); }

private:
    std::array<int, 3> Cell(const P3& p) const
    {
        const double at[3] = {p.x - box_.low.x, p.y - box_.low.y, p.z - box_.low.z};
        std::array<int, 3> cell{};
        for (int k = 0; k < 3; ++k)
            cell[static_cast<size_t>(k)] = static_cast<int>(std::clamp(std::floor(at[k] / size_[k]), 0.0, count_[k] - 1.0));
        return cell;
    }
    // How far p lies inside the block of rings 0..r around cell c: no cell
    // beyond it is nearer. Walls on the grid's border do not count.
    double Clearance(const P3& p, const std::array<int, 3>& c, int r) const
    {
        const double at[3] = {p.x - box_.low.x, p.y - box_.low.y, p.z - box_.low.z};
        double clearance = HUGE_VAL;
        for (int k = 0; k < 3; ++k) {
            const int cell = c[static_cast<size_t>(k)];
            if (cell - r > 0) clearance = std::min(clearance, at[k] - (cell - r) * size_[k]);
            if (cell + r + 1 < count_[k]) clearance = std::min(clearance, (cell + r + 1) * size_[k] - at[k]);
        }
        return clearance;
    }
    int64_t Index(int i, int j, int k) const { return (static_cast<int64_t>(i) * count_[1] + j) * count_[2] + k; }

    const Surface& surface_;
    Box box_;
    int count_[3] = {1, 1, 1};
    double size_[3] = {1.0, 1.0, 1.0};
    std::vector<size_t> start_;
    std::vector<int32_t> triangles_;
};

struct Topology {
    bool closed = true;
    bool oriented = true;
    int64_t vertices = 0;  // used by some triangle
    int64_t edges = 0;
};

Topology CheckTopology(const std::vector<Triangle>& triangles, size_t vertexCount)
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
        if (j - i != 2 && topology.closed) {
            topology.closed = false;
            std::fprintf(stderr, "edge %llu-%llu in %zu triangles\n", static_cast<unsigned long long>(undirected[i].first),
                         static_cast<unsigned long long>(undirected[i].second), j - i);
        }
        ++topology.edges;
        i = j;
    }
    return topology;
}

// Triangles whose twice-area, from the float corners in double, is below
// 1e-12 of the squared diagonal of the step's bounding box: the same
// threshold the output promises to stay above.
int64_t CountFlat(const std::vector<Vec3>& positions, const std::vector<Triangle>& triangles, const char* step)
{
    Box box;
    for (const Triangle& t : triangles)
        for (int32_t corner : t) box.Add(ToP(positions[static_cast<size_t>(corner)]));
    const double limit = 1e-12 * Dot(box.high - box.low, box.high - box.low);
    int64_t flat = 0;
    for (size_t t = 0; t < triangles.size(); ++t) {
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
                     const char* step)
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
    if (!(relative < 1e-5)) {
        const Vec3& p = positions[worstVertex];
        std::fprintf(stderr, "step %s: vertex %zu at (%.9g %.9g %.9g) is %.3g from its surface (diagonal %.6g)\n", step,
                     worstVertex, p.x, p.y, p.z, worst, nearest.Diagonal());
    }
    return relative;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: vorlane-check-morph SOURCE TARGET MORPH.glb\n");
        return 1;
    }
    Surface source, target;
    if (!LoadSurface(argv[1], source) || !LoadSurface(argv[2], target)) return 1;
    const vorlane::GltfMorphReadResult read = vorlane::ReadGltfMorph(argv[3]);
    if (!read.error.empty()) {
        std::fprintf(stderr, "%s\n", read.error.c_str());
        return 1;
    }
    const vorlane::MorphTriangles& morph = read.morph;
    const Topology topology = CheckTopology(morph.triangles, morph.startPositions.size());
    const int64_t faces = static_cast<int64_t>(morph.triangles.size());
    const int64_t euler = topology.vertices - topology.edges + faces;
    const int64_t flat0 = CountFlat(morph.startPositions, morph.triangles, "0");
    const int64_t flat20 = CountFlat(morph.endPositions, morph.triangles, "20");
    const double dist0 = WorstDistance(morph.startPositions, morph.triangles, source, "0");
    const double dist20 = WorstDistance(morph.endPositions, morph.triangles, target, "20");
    // V - E + F = 2 - 2g on a closed oriented surface; odd otherwise says nothing.
    const std::string genus = euler % 2 == 0 ? std::to_string((2 - euler) / 2) : "?(V-E+F=" + std::to_string(euler) + ")";
    std::printf("closed=%s oriented=%s genus=%s V=%lld F=%lld flat0=%lld flat20=%lld dist0=%.2e dist20=%.2e\n",
                topology.closed ? "yes" : "no", topology.oriented ? "yes" : "no", genus.c_str(),
                static_cast<long long>(topology.vertices), static_cast<long long>(faces), static_cast<long long>(flat0),
                static_cast<long long>(flat20), dist0, dist20);
    const bool sound = topology.closed && topology.oriented && euler == 2 && flat0 == 0 && flat20 == 0 && dist0 < 1e-5 &&
                       dist20 < 1e-5;
    return sound ? 0 : 1;
}
