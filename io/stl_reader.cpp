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

bool IsTiny(float value)
{
    return value != 0.0f && std::fabs(value) < 0x1p-100f;
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

// Positions to vertex numbers by first occurrence: an open-addressing table
// over exact equality, which is the weld order's equality when no coordinate
// is tiny; otherwise the weld order itself in an ordered map.
class Welder {
public:
    Welder(std::size_t corners, bool tiny, FaceList& faces) : faces_(faces), tiny_(tiny)
    {
        if (tiny_) return;
        std::size_t slots = 1024;
        while (slots < corners / 2) slots *= 2;
        table_.assign(slots, -1);
    }

    int32_t VertexOf(const Vec3& p)
    {
        if (tiny_) {
            // note: the order is not transitive among tiny values, so which
            // earlier corner matches depends on the map's shape: only a map
            // fed the same way gives the same answer. Rare.
            const auto found = tinyMap_.find(p);
            if (found != tinyMap_.end()) return found->second;
            const int32_t vertex = Add(p);
            tinyMap_[p] = vertex;
            return vertex;
        }
        const std::size_t mask = table_.size() - 1;
        std::size_t slot = HashOf(p) & mask;
        while (table_[slot] >= 0) {
            const Vec3& q = faces_.points[static_cast<std::size_t>(table_[slot])];
            if (q.x == p.x && q.y == p.y && q.z == p.z) return table_[slot];
            slot = (slot + 1) & mask;
        }
        const int32_t vertex = Add(p);
        table_[slot] = vertex;
        if (faces_.points.size() * 2 > table_.size()) Grow();
        return vertex;
    }

    // A triangle of three distinct vertices becomes a face; one that welding
    // collapsed is left out.
    void AddTriangle(int32_t a, int32_t b, int32_t c)
    {
        if (a == b || a == c || b == c) return;
        faces_.AddFace();
        faces_.corners.insert(faces_.corners.end(), {a, b, c});
    }

private:
    int32_t Add(const Vec3& p)
    {
        faces_.points.push_back(p);
        return static_cast<int32_t>(faces_.points.size() - 1);
    }

    void Grow()
    {
        table_.assign(table_.size() * 2, -1);
        const std::size_t mask = table_.size() - 1;
        for (std::size_t v = 0; v < faces_.points.size(); ++v) {
            std::size_t slot = HashOf(faces_.points[v]) & mask;
            while (table_[slot] >= 0) slot = (slot + 1) & mask;
            table_[slot] = static_cast<int32_t>(v);
        }
    }

    FaceList& faces_;
    bool tiny_;
    std::vector<int32_t> table_;
    std::map<Vec3, int32_t, WeldOrder> tinyMap_;
};

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

ModelTable ReadBinary(std::string_view bytes, const ReadMeter& progress)
{
    const uint32_t triangles = LittleEndian32(bytes, 80);
    const auto cornerAt = [&](uint32_t t, unsigned corner) {
        const std::size_t at = StlHeaderBytes + std::size_t{t} * StlTriangleBytes + 12 + corner * 12u;
        return Vec3{FloatAt(bytes, at), FloatAt(bytes, at + 4), FloatAt(bytes, at + 8)};
    };
    bool tiny = false;
    for (uint32_t t = 0; t < triangles; ++t) {
        for (unsigned corner = 0; corner < 3; ++corner) {
            const Vec3 p = cornerAt(t, corner);
            if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z))
                throw ReadFailure("the " + Ordinal(t + 1u) + " triangle has a corner that is not a finite number");
            tiny = tiny || IsTiny(p.x) || IsTiny(p.y) || IsTiny(p.z);
        }
    }
    FaceList faces;
    faces.points.reserve(std::size_t{triangles} / 2 + 16);
    faces.corners.reserve(std::size_t{triangles} * 3);
    faces.faceStarts.reserve(triangles);
    Welder welder(std::size_t{triangles} * 3, tiny, faces);
    for (uint32_t t = 0; t < triangles; ++t) {
        progress.Every("reading STL", t, triangles);
        const int32_t a = welder.VertexOf(cornerAt(t, 0));
        const int32_t b = welder.VertexOf(cornerAt(t, 1));
        const int32_t c = welder.VertexOf(cornerAt(t, 2));
        welder.AddTriangle(a, b, c);
    }
    return BuildTable(faces, 0, progress);
}

ModelTable ReadText(std::string_view bytes, const ReadMeter& progress)
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

    bool tiny = false;
    for (const Vec3& p : corners) tiny = tiny || IsTiny(p.x) || IsTiny(p.y) || IsTiny(p.z);
    FaceList faces;
    faces.points.reserve(corners.size() / 6 + 16);
    faces.corners.reserve(corners.size());
    faces.faceStarts.reserve(corners.size() / 3);
    Welder welder(corners.size(), tiny, faces);
    for (std::size_t c = 0; c + 2 < corners.size(); c += 3) {
        progress.Every("welding STL corners", c / 3, corners.size() / 3);
        const int32_t a = welder.VertexOf(corners[c]);
        const int32_t b = welder.VertexOf(corners[c + 1]);
        const int32_t d = welder.VertexOf(corners[c + 2]);
        welder.AddTriangle(a, b, d);
    }
    return BuildTable(faces, 0, progress);
}

}  // namespace

ModelTable ReadStl(std::string_view bytes, const ReadMeter& progress)
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
