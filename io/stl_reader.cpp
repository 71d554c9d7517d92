// STL, binary or ASCII. Each triangle repeats its corners; corners at the
// same position become one vertex, numbered by first occurrence, and a
// triangle that two of its corners collapse is left out.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "io/mesh_reader_internal.h"

namespace vorlane::mesh_reading {

namespace {

constexpr std::size_t StlHeaderBytes = 84;
constexpr std::size_t StlTriangleBytes = 50;

uint32_t LittleEndian32(std::string_view bytes, std::size_t at)
{
    return static_cast<uint32_t>(static_cast<unsigned char>(bytes[at])) |
           static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 8 |
           static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + 2])) << 16 |
           static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + 3])) << 24;
}

float FloatAt(std::string_view bytes, std::size_t at)
{
    const uint32_t raw = LittleEndian32(bytes, at);
    float value = 0.0f;
    std::memcpy(&value, &raw, sizeof value);
    return value;
}

// Positions count as equal when each coordinate differs by at most the
// smallest normal float: so +0 and -0 are one, and so are tiny values close
// together. Those are the only cases that differ from exact equality, and
// only for coordinates below 2^-100 in size.
class WeldOrder {
public:
    bool operator()(const Vec3& a, const Vec3& b) const
    {
        const float eps = std::numeric_limits<float>::min();
        if (std::fabs(a.x - b.x) <= eps) {
            if (std::fabs(a.y - b.y) <= eps) return a.z < b.z - eps;
            return a.y < b.y - eps;
        }
        return a.x < b.x - eps;
    }
};

bool HasTinyCoordinate(const std::vector<Vec3>& corners)
{
    const float tiny = 0x1p-100f;
    for (const Vec3& p : corners) {
        if ((p.x != 0.0f && std::fabs(p.x) < tiny) || (p.y != 0.0f && std::fabs(p.y) < tiny) ||
            (p.z != 0.0f && std::fabs(p.z) < tiny))
            return true;
    }
    return false;
}

uint32_t Bits(float value)
{
    value += 0.0f;  // note: -0 becomes +0, which it equals.
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

uint64_t HashOf(const Vec3& p)
{
    uint64_t h = (static_cast<uint64_t>(Bits(p.x)) << 32 | Bits(p.y)) * 0x9E3779B97F4A7C15ull;
    h ^= (static_cast<uint64_t>(Bits(p.z)) + 0x632BE59BD9B4E019ull) * 0xC2B2AE3D27D4EB4Full;
    return h ^ (h >> 31);
}

// Three corners per triangle in; vertices by first occurrence and the
// triangles that stay three-cornered out.
FaceList Weld(const std::vector<Vec3>& corners, const Progress& progress)
{
    FaceList faces;
    std::vector<int32_t> vertexOf(corners.size());
    if (HasTinyCoordinate(corners)) {
        // note: the order is not transitive among tiny values, so the first
        // match depends on the order of earlier insertions: an ordered map
        // fed the same way is the only faithful answer. Rare.
        std::map<Vec3, int32_t, WeldOrder> seen;
        for (std::size_t c = 0; c < corners.size(); ++c) {
            const auto found = seen.find(corners[c]);
            if (found != seen.end()) {
                vertexOf[c] = found->second;
                continue;
            }
            vertexOf[c] = static_cast<int32_t>(faces.points.size());
            faces.points.push_back(corners[c]);
            seen[corners[c]] = vertexOf[c];
        }
    } else {
        std::size_t slots = 16;
        while (slots < 2 * corners.size()) slots *= 2;
        std::vector<int32_t> table(slots, -1);
        faces.points.reserve(corners.size() / 4 + 16);
        for (std::size_t c = 0; c < corners.size(); ++c) {
            progress.Every("welding STL corners", c, corners.size());
            const Vec3& p = corners[c];
            std::size_t slot = HashOf(p) & (slots - 1);
            while (table[slot] >= 0) {
                const Vec3& q = faces.points[static_cast<std::size_t>(table[slot])];
                if (q.x == p.x && q.y == p.y && q.z == p.z) break;
                slot = (slot + 1) & (slots - 1);
            }
            if (table[slot] < 0) {
                table[slot] = static_cast<int32_t>(faces.points.size());
                faces.points.push_back(p);
            }
            vertexOf[c] = table[slot];
        }
    }
    faces.corners.reserve(corners.size());
    faces.faceStarts.reserve(corners.size() / 3);
    for (std::size_t c = 0; c + 2 < corners.size(); c += 3) {
        const int32_t a = vertexOf[c], b = vertexOf[c + 1], d = vertexOf[c + 2];
        if (a == b || a == d || b == d) continue;
        faces.AddFace();
        faces.corners.insert(faces.corners.end(), {a, b, d});
    }
    return faces;
}

bool IsBinarySized(std::string_view bytes)
{
    return bytes.size() >= StlHeaderBytes &&
           bytes.size() == StlHeaderBytes + uint64_t{LittleEndian32(bytes, 80)} * StlTriangleBytes;
}

// note: binary headers often start with "solid" too; but a binary file's
// triangle count almost always holds a NUL byte, and text none.
bool LooksLikeText(std::string_view bytes)
{
    std::size_t i = 0;
    while (i < bytes.size() && (bytes[i] == ' ' || bytes[i] == '\n' || IsBlank(bytes[i]))) ++i;
    return EqualsIgnoringCase(bytes.substr(i, 5), "solid") &&
           bytes.substr(0, StlHeaderBytes).find('\0') == std::string_view::npos;
}

ModelTable ReadBinary(std::string_view bytes, const Progress& progress)
{
    const uint32_t triangles = LittleEndian32(bytes, 80);
    std::vector<Vec3> corners(std::size_t{triangles} * 3);
    for (uint32_t t = 0; t < triangles; ++t) {
        progress.Every("reading STL", t, triangles);
        const std::size_t at = StlHeaderBytes + std::size_t{t} * StlTriangleBytes + 12;
        for (int corner = 0; corner < 3; ++corner) {
            Vec3& p = corners[std::size_t{t} * 3 + static_cast<std::size_t>(corner)];
            p = Vec3{FloatAt(bytes, at + corner * 12u), FloatAt(bytes, at + corner * 12u + 4),
                     FloatAt(bytes, at + corner * 12u + 8)};
            if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z))
                throw ReadFailure("the " + Ordinal(t + 1u) + " triangle has a corner that is not a finite number");
        }
    }
    return BuildTable(Weld(corners, progress), 0, progress);
}

ModelTable ReadText(std::string_view bytes, const Progress& progress)
{
    // note: a text triangle takes well over 50 bytes; enough for any file.
    std::vector<Vec3> corners;
    corners.reserve(bytes.size() / 50 * 3);
    bool ended = false;
    int cornersDue = 0;
    std::size_t loopLine = 0;
    LineCursor lines(bytes);
    std::string_view line;
    std::vector<std::string_view> tokens;
    while (lines.Next(line)) {
        if ((lines.Number() & 0xFFFF) == 0) progress.Report("reading STL", lines.Fraction());
        if (line.find('\0') != std::string_view::npos)
            throw ReadFailure(AtLine(lines.Number()) + "a NUL byte (\\x00) in a text STL");
        SplitTokens(line, tokens);
        if (tokens.empty()) continue;
        const std::string where = AtLine(lines.Number());
        const std::string_view keyword = tokens[0];
        if (cornersDue > 0 && !EqualsIgnoringCase(keyword, "vertex"))
            throw ReadFailure(AtLine(loopLine) + "a triangle needs three vertex lines");
        if (EqualsIgnoringCase(keyword, "vertex")) {
            if (cornersDue == 0) throw ReadFailure(where + "a vertex outside any 'outer loop'");
            Vec3 p;
            if (tokens.size() != 4 || !ParseFiniteFloat(tokens[1], p.x) || !ParseFiniteFloat(tokens[2], p.y) ||
                !ParseFiniteFloat(tokens[3], p.z))
                throw ReadFailure(where + "a vertex needs three finite coordinates");
            corners.push_back(p);
            --cornersDue;
        } else if (EqualsIgnoringCase(keyword, "outer")) {
            cornersDue = 3;
            loopLine = lines.Number();
        } else if (EqualsIgnoringCase(keyword, "endsolid")) {
            ended = true;
        } else if (!EqualsIgnoringCase(keyword, "solid") && !EqualsIgnoringCase(keyword, "facet") &&
                   !EqualsIgnoringCase(keyword, "endloop") && !EqualsIgnoringCase(keyword, "endfacet")) {
            throw ReadFailure(where + "unexpected " + Shown(keyword));
        }
    }
    if (cornersDue > 0) throw ReadFailure("truncated: the last triangle has fewer than three corners");
    if (!ended) throw ReadFailure("truncated: no 'endsolid' line");
    return BuildTable(Weld(corners, progress), 0, progress);
}

}  // namespace

ModelTable ReadStl(std::string_view bytes, const Progress& progress)
{
    if (IsBinarySized(bytes)) return ReadBinary(bytes, progress);
    if (LooksLikeText(bytes)) return ReadText(bytes, progress);
    if (bytes.size() < StlHeaderBytes) throw ReadFailure("neither ASCII STL nor long enough for binary STL");
    const uint32_t promised = LittleEndian32(bytes, 80);
    const uint64_t needed = StlHeaderBytes + uint64_t{promised} * StlTriangleBytes;
    const std::string counts = std::to_string(promised) + " triangles promised need " + std::to_string(needed) +
                               " bytes, the file has " + std::to_string(bytes.size());
    if (bytes.size() < needed) throw ReadFailure("truncated binary STL: " + counts);
    throw ReadFailure("binary STL longer than its triangle count promises: " + counts);
}

}  // namespace vorlane::mesh_reading
