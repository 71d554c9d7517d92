// vorlane-normals-error SOURCE TARGET MORPH.glb: how far the normals a
// written morph shades with lie from its inputs' own. For each vertex at
// each end: its nearest point on that end's input, the input's
// angle-weighted vertex normals interpolated there, and the angle to the
// file's normal. Prints per end the median and 99th percentile in degrees,
// over every vertex and over those where the input is smooth (the nearest
// triangle's corner normals within Smooth degrees of each other).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "bench/decoded_gltf.h"
#include "bench/morph_surface.h"

namespace {

using namespace vorlane::bench;

constexpr double Smooth = 15.0;
constexpr double Degree = 180.0 / M_PI;

P3 Unit(const P3& v)
{
    const double length = std::sqrt(Dot(v, v));
    return length > 0.0 ? (1.0 / length) * v : v;
}

double Angle(const P3& a, const P3& b) { return std::atan2(std::sqrt(Dot(Cross(a, b), Cross(a, b))), Dot(a, b)) * Degree; }

// Angle-weighted vertex normals, outward by the sign of the volume.
std::vector<P3> VertexNormals(const Surface& s)
{
    std::vector<P3> n(s.points.size());
    double volume = 0.0;
    for (const vorlane::Triangle& t : s.triangles) {
        const P3 p[3] = {s.points[static_cast<size_t>(t[0])], s.points[static_cast<size_t>(t[1])], s.points[static_cast<size_t>(t[2])]};
        const P3 face = Unit(Cross(p[1] - p[0], p[2] - p[0]));
        volume += Dot(p[0], Cross(p[1], p[2]));
        for (int i = 0; i < 3; ++i) {
            const P3 u = p[(i + 1) % 3] - p[i], w = p[(i + 2) % 3] - p[i];
            P3& into = n[static_cast<size_t>(t[static_cast<size_t>(i)])];
            into = into + (Angle(u, w) / Degree) * face;
        }
    }
    for (P3& v : n) v = (volume < 0.0 ? -1.0 : 1.0) * Unit(v);
    return n;
}

struct Figures {
    double median = 0.0, p99 = 0.0, smoothP99 = 0.0, smoothShare = 0.0, worst = 0.0;
};

double Percentile(std::vector<double>& v, double q)
{
    if (v.empty()) return 0.0;
    const size_t at = std::min(v.size() - 1, static_cast<size_t>(q * static_cast<double>(v.size())));
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(at), v.end());
    return v[at];
}

Figures Measure(const Surface& surface, const std::vector<vorlane::Vec3>& positions, const std::vector<vorlane::Vec3>& normals,
                const std::vector<char>& used)
{
    const NearestTriangle nearest(surface);
    const std::vector<P3> around = VertexNormals(surface);
    std::vector<double> all, smooth;
    for (size_t v = 0; v < positions.size(); ++v) {
        if (!used[v]) continue;
        const NearestTriangle::Hit hit = nearest.Nearest(ToP(positions[v]));
        const vorlane::Triangle& t = surface.triangles[static_cast<size_t>(hit.triangle)];
        const P3 a = surface.points[static_cast<size_t>(t[0])], b = surface.points[static_cast<size_t>(t[1])],
                 c = surface.points[static_cast<size_t>(t[2])];
        // Barycentric weights of the nearest point.
        const P3 u = b - a, w = c - a, q = hit.point - a;
        const double uu = Dot(u, u), uw = Dot(u, w), ww = Dot(w, w), qu = Dot(q, u), qw = Dot(q, w);
        const double det = uu * ww - uw * uw;
        const double wb = det > 0.0 ? (ww * qu - uw * qw) / det : 1.0 / 3.0, wc = det > 0.0 ? (uu * qw - uw * qu) / det : 1.0 / 3.0;
        const P3 na = around[static_cast<size_t>(t[0])], nb = around[static_cast<size_t>(t[1])], nc = around[static_cast<size_t>(t[2])];
        const P3 expected = Unit((1.0 - wb - wc) * na + wb * nb + wc * nc);
        const double off = Angle(expected, ToP(normals[v]));
        all.push_back(off);
        if (std::max({Angle(na, nb), Angle(nb, nc), Angle(nc, na)}) < Smooth) smooth.push_back(off);
    }
    Figures f;
    f.smoothShare = all.empty() ? 0.0 : static_cast<double>(smooth.size()) / static_cast<double>(all.size());
    f.worst = all.empty() ? 0.0 : *std::max_element(all.begin(), all.end());
    f.median = Percentile(all, 0.5);
    f.p99 = Percentile(all, 0.99);
    f.smoothP99 = Percentile(smooth, 0.99);
    return f;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: vorlane-normals-error SOURCE TARGET MORPH.glb\n");
        return 1;
    }
    Surface source, target;
    if (!LoadSurface(argv[1], source) || !LoadSurface(argv[2], target)) return 1;
    const DecodedMorph morph = ReadDecodedMorph(argv[3]);
    if (!morph.error.empty() || morph.startNormals.empty()) {
        std::fprintf(stderr, "%s\n", morph.error.empty() ? "the morph has no normals" : morph.error.c_str());
        return 1;
    }
    std::vector<char> used(morph.startPositions.size(), 0);
    for (const vorlane::Triangle& t : morph.triangles)
        for (int32_t corner : t) used[static_cast<size_t>(corner)] = 1;
    const Figures ends[2] = {Measure(source, morph.startPositions, morph.startNormals, used),
                             Measure(target, morph.endPositions, morph.endNormals, used)};
    for (int e = 0; e < 2; ++e) {
        const Figures& f = ends[e];
        std::printf("%s: median %.3f p99 %.3f worst %.2f degrees; smooth (%.0f%%) p99 %.3f\n", e == 0 ? "start" : "end", f.median, f.p99,
                    f.worst, 100.0 * f.smoothShare, f.smoothP99);
    }
    return 0;
}
