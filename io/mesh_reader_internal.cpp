#include "io/mesh_reader_internal.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <system_error>

#include "geometry/triangulate_polygon.h"

namespace vorlane::mesh_reading {

void ReadMeter::Report(const char* phase, double fraction) const
{
    if (callback_ && *callback_) (*callback_)(phase, fraction < 0.0 ? 0.0 : fraction > 1.0 ? 1.0 : fraction);
}

bool LineCursor::Next(std::string_view& line)
{
    if (next_ >= bytes_.size()) return false;
    const void* found = std::memchr(bytes_.data() + next_, '\n', bytes_.size() - next_);
    const std::size_t end = found ? static_cast<std::size_t>(static_cast<const char*>(found) - bytes_.data()) : bytes_.size();
    line = bytes_.substr(next_, end - next_);
    newline_ = end < bytes_.size();
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    next_ = end + 1;
    ++number_;
    return true;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}

void SplitTokens(std::string_view text, std::vector<std::string_view>& tokens)
{
    tokens.clear();
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && IsBlank(text[i])) ++i;
        const std::size_t start = i;
        while (i < text.size() && !IsBlank(text[i])) ++i;
        if (i > start) tokens.push_back(text.substr(start, i - start));
    }
}

std::string_view WithoutComment(std::string_view text)
{
    const std::size_t hash = text.find('#');
    return hash == std::string_view::npos ? text : text.substr(0, hash);
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

namespace {

constexpr std::size_t MaxNumberChars = 64;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Decimal float syntax only, the whole token: what both strtod and a C++
// stream read in full. Hex floats, inf and nan are left out.
bool IsDecimalFloat(std::string_view t)
{
    std::size_t i = 0;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    std::size_t digits = 0;
    while (i < t.size() && IsDigit(t[i])) ++i, ++digits;
    if (i < t.size() && t[i] == '.') {
        ++i;
        while (i < t.size() && IsDigit(t[i])) ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
        std::size_t exponent = 0;
        while (i < t.size() && IsDigit(t[i])) ++i, ++exponent;
        if (exponent == 0) return false;
    }
    return i == t.size();
}

// from_chars takes no leading '+'.
std::string_view WithoutPlus(std::string_view t)
{
    return !t.empty() && t[0] == '+' ? t.substr(1) : t;
}

// The nearest float and the nearest double of a decimal token, as strtof and
// strtod give them; from_chars declines results that under- or overflow, and
// strtof is asked then.
float NearestFloat(std::string_view t)
{
    const std::string_view s = WithoutPlus(t);
    float value = 0.0f;
    const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (error == std::errc() && end == s.data() + s.size()) return value;
    char text[MaxNumberChars + 1];
    std::memcpy(text, t.data(), t.size());
    text[t.size()] = '\0';
    return std::strtof(text, nullptr);
}

double NearestDouble(std::string_view t)
{
    const std::string_view s = WithoutPlus(t);
    double value = 0.0;
    const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (error == std::errc() && end == s.data() + s.size()) return value;
    char text[MaxNumberChars + 1];
    std::memcpy(text, t.data(), t.size());
    text[t.size()] = '\0';
    return std::strtod(text, nullptr);
}

}  // namespace

bool ParseFiniteFloat(std::string_view token, float& value)
{
    if (token.size() > MaxNumberChars || !IsDecimalFloat(token)) return false;
    value = NearestFloat(token);
    if (!std::isfinite(value)) return false;
    // note: a token just past the largest float rounds to it as a float but
    // not as a double; such a value is refused as out of range.
    if (std::fabs(value) == std::numeric_limits<float>::max())
        return std::fabs(NearestDouble(token)) <= std::numeric_limits<float>::max();
    return true;
}

bool ParseStreamFloat(std::string_view token, float& value)
{
    if (token.size() > MaxNumberChars || !IsDecimalFloat(token)) return false;
    value = NearestFloat(token);
    return std::isfinite(value);
}

bool ParseInt(std::string_view token, long long minimum, long long& value)
{
    if (token.empty() || token.size() > 20) return false;
    const std::string_view s = token[0] == '+' && token.size() > 1 && IsDigit(token[1]) ? token.substr(1) : token;
    const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
    return error == std::errc() && end == s.data() + s.size() && value >= minimum &&
           value <= std::numeric_limits<int32_t>::max();
}

namespace {

// [+-]digits as a magnitude below 2^32 and its sign.
bool SignedMagnitude(std::string_view t, bool& negative, uint64_t& magnitude)
{
    std::size_t i = 0;
    negative = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
    if (i == t.size()) return false;
    magnitude = 0;
    for (; i < t.size(); ++i) {
        if (!IsDigit(t[i])) return false;
        magnitude = magnitude * 10 + static_cast<uint64_t>(t[i] - '0');
        if (magnitude > 0xFFFFFFFFull) return false;
    }
    return true;
}

}  // namespace

bool ParseStreamUnsigned(std::string_view token, uint32_t& value)
{
    bool negative = false;
    uint64_t magnitude = 0;
    if (!SignedMagnitude(token, negative, magnitude)) return false;
    value = static_cast<uint32_t>(negative ? (0x100000000ull - magnitude) & 0xFFFFFFFFull : magnitude);
    return true;
}

bool ParseStreamInt(std::string_view token, int32_t& value)
{
    bool negative = false;
    uint64_t magnitude = 0;
    if (!SignedMagnitude(token, negative, magnitude)) return false;
    if (magnitude > (negative ? 0x80000000ull : 0x7FFFFFFFull)) return false;
    value = static_cast<int32_t>(negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude));
    return true;
}

std::string Ordinal(std::size_t n)
{
    const std::size_t lastTwo = n % 100;
    const char* suffix = "th";
    if (lastTwo < 11 || lastTwo > 13) {
        if (n % 10 == 1) suffix = "st";
        if (n % 10 == 2) suffix = "nd";
        if (n % 10 == 3) suffix = "rd";
    }
    return std::to_string(n) + suffix;
}

std::string AtLine(std::size_t number)
{
    return "line " + std::to_string(number) + ": ";
}

std::string Escaped(std::string_view bytes)
{
    std::string text;
    text.reserve(bytes.size());
    for (const char byte : bytes) {
        const unsigned char c = static_cast<unsigned char>(byte);
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            text += byte;
        } else {
            static const char hex[] = "0123456789abcdef";
            text += "\\x";
            text += hex[c >> 4];
            text += hex[c & 15];
        }
    }
    return text;
}

std::string Shown(std::string_view bytes)
{
    constexpr std::size_t Limit = 32;
    return "'" + Escaped(bytes.substr(0, Limit)) + (bytes.size() > Limit ? "...'" : "'");
}

ModelTable BuildTable(const FaceList& faces, int indexBase, const ReadMeter& progress, std::vector<int32_t>* renumbered)
{
    const std::vector<Vec3>& points = faces.points;
    if (points.empty()) throw ReadFailure("the file holds no vertices");
    for (std::size_t v = 0; v < points.size(); ++v) {
        const Vec3& p = points[v];
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z))
            throw ReadFailure("vertex " + std::to_string(v + static_cast<std::size_t>(indexBase)) +
                              " has a coordinate that is not a finite number");
    }

    std::vector<Triangle> triangles;
    triangles.reserve(faces.corners.size() >= 2 * faces.faceStarts.size()
                          ? faces.corners.size() - 2 * faces.faceStarts.size()
                          : 0);
    std::vector<int32_t> polygon;
    const std::size_t faceCount = faces.faceStarts.size();
    for (std::size_t f = 0; f < faceCount; ++f) {
        progress.Every("building the mesh", f, faceCount);
        const std::size_t begin = faces.faceStarts[f];
        const std::size_t end = f + 1 < faceCount ? faces.faceStarts[f + 1] : faces.corners.size();
        polygon.clear();
        for (std::size_t c = begin; c < end; ++c) {
            const int32_t index = faces.corners[c];
            if (index < 0)
                throw ReadFailure("the " + Ordinal(f + 1) + " face refers to a vertex before the first one");
            if (static_cast<std::size_t>(index) >= points.size())
                throw ReadFailure("the " + Ordinal(f + 1) + " face refers to vertex " +
                                  std::to_string(static_cast<long long>(index) + indexBase) +
                                  ", but the file has only " + std::to_string(points.size()) + " vertices");
            // note: a corner repeated in a row adds no area; drop it.
            if (polygon.empty() || polygon.back() != index) polygon.push_back(index);
        }
        while (polygon.size() > 1 && polygon.front() == polygon.back()) polygon.pop_back();
        TriangulatePolygon(points, polygon.data(), polygon.size(), triangles);
    }
    if (triangles.empty()) throw ReadFailure("the file holds no faces");

    std::vector<int32_t> slots(points.size(), -1);
    ModelTable table;
    table.vertices.reserve(points.size());
    for (Triangle& triangle : triangles) {
        for (int32_t& corner : triangle) {
            int32_t& slot = slots[static_cast<std::size_t>(corner)];
            if (slot < 0) {
                slot = static_cast<int32_t>(table.vertices.size());
                table.vertices.push_back(points[static_cast<std::size_t>(corner)]);
            }
            corner = slot;
        }
    }
    table.triangles = std::move(triangles);
    if (renumbered) *renumbered = std::move(slots);
    return table;
}

}  // namespace vorlane::mesh_reading
