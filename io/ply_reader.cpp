// PLY, ASCII or binary of either byte order. The vertex element gives x, y
// and z; the face element's vertex_indices (or vertex_index) list gives the
// faces; every other value is skipped. Elements may come in any order.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <unordered_set>
#include <vector>

#include "io/mesh_reader_internal.h"

namespace vorlane::mesh_reading {

namespace {

enum class Role { Other, X, Y, Z, StreamFloat, Colour, Indices };

struct PlyProperty {
    std::string_view name;
    bool list = false;
    int countBytes = 0;  // list count width
    int bytes = 0;       // scalar or list entry width
    bool isFloat = false;
    bool isSigned = false;
    Role role = Role::Other;
};

struct PlyElement {
    std::string_view name;
    long long count = 0;
    std::vector<PlyProperty> properties;
    std::size_t rowBytes = 0;  // binary, for elements without lists
};

// The PLY scalar types by either name: bytes, float, signed.
bool PlyType(std::string_view name, int& bytes, bool& isFloat, bool& isSigned)
{
    static const struct {
        const char* names[2];
        int bytes;
        bool isFloat;
        bool isSigned;
    } types[] = {
        {{"char", "int8"}, 1, false, true},    {{"uchar", "uint8"}, 1, false, false},
        {{"short", "int16"}, 2, false, true},  {{"ushort", "uint16"}, 2, false, false},
        {{"int", "int32"}, 4, false, true},    {{"uint", "uint32"}, 4, false, false},
        {{"float", "float32"}, 4, true, true}, {{"double", "float64"}, 8, true, true},
    };
    for (const auto& type : types) {
        if (name == type.names[0] || name == type.names[1]) {
            bytes = type.bytes;
            isFloat = type.isFloat;
            isSigned = type.isSigned;
            return true;
        }
    }
    return false;
}

Role VertexRole(std::string_view name)
{
    if (name == "x") return Role::X;
    if (name == "y") return Role::Y;
    if (name == "z") return Role::Z;
    for (const char* n : {"nx", "ny", "nz", "u", "v", "s", "t"})
        if (name == n) return Role::StreamFloat;
    for (const char* n : {"red", "green", "blue", "alpha", "diffuse_red", "diffuse_green", "diffuse_blue"})
        if (name == n) return Role::Colour;
    return Role::Other;
}

Role FaceRole(std::string_view name)
{
    for (const char* n : {"red", "green", "blue", "alpha"})
        if (name == n) return Role::Colour;
    return Role::Other;
}

// The channel a vertex colour property holds (0 red, 1 green, 2 blue), or
// -1 for alpha and the rest.
int ColourChannel(std::string_view name)
{
    if (name == "red" || name == "diffuse_red") return 0;
    if (name == "green" || name == "diffuse_green") return 1;
    if (name == "blue" || name == "diffuse_blue") return 2;
    return -1;
}

// A colour value as a fraction: floats as they are, integers of their
// width's full scale (bytes of 255), clamped to 0..1.
float ColourFraction(double value, const PlyProperty& property)
{
    const double scale = property.isFloat ? 1.0 : property.bytes == 2 ? 65535.0 : 255.0;
    const double fraction = value / scale;
    return std::isfinite(fraction) ? static_cast<float>(std::clamp(fraction, 0.0, 1.0)) : 1.0f;
}

bool HasVertexColours(const PlyElement& vertex)
{
    for (const PlyProperty& property : vertex.properties)
        if (property.role == Role::Colour && ColourChannel(property.name) >= 0) return true;
    return false;
}

struct Header {
    bool binary = false;
    bool bigEndian = false;
    std::vector<PlyElement> elements;
    std::size_t vertex = SIZE_MAX;
    std::size_t face = SIZE_MAX;
    std::size_t dataStart = 0;
    std::size_t dataLine = 0;  // lines before the data
    int coordinates = 0;       // x, y and z properties of the vertex element
};

Header ReadHeader(std::string_view bytes)
{
    Header header;
    LineCursor lines(bytes);
    std::string_view line;
    std::vector<std::string_view> tokens;
    std::unordered_set<std::string_view> names;
    std::string_view format;
    bool sawEnd = false;
    while (!sawEnd) {
        if (!lines.Next(line) || !lines.EndedInNewline())
            throw ReadFailure("truncated: the header has no end_header line");
        SplitTokens(line, tokens);
        const std::string where = "header line " + std::to_string(lines.Number()) + ": ";
        if (lines.Number() == 1) {
            if (tokens.size() != 1 || tokens[0] != "ply") throw ReadFailure("the file does not start with 'ply'");
            continue;
        }
        if (tokens.empty() || tokens[0] == "comment" || tokens[0] == "obj_info") continue;
        if (tokens[0] == "end_header") {
            sawEnd = true;
        } else if (tokens[0] == "format") {
            if (tokens.size() != 3 || (tokens[1] != "ascii" && tokens[1] != "binary_little_endian" &&
                                       tokens[1] != "binary_big_endian"))
                throw ReadFailure(where + "unknown format");
            format = tokens[1];
        } else if (tokens[0] == "element") {
            PlyElement element;
            if (tokens.size() != 3 || !ParseInt(tokens[2], 0, element.count))
                throw ReadFailure(where + "an element needs a name and a count");
            element.name = tokens[1];
            if (!names.insert(element.name).second)
                throw ReadFailure(where + "element " + Shown(element.name) + " repeated");
            header.elements.push_back(element);
        } else if (tokens[0] == "property") {
            if (header.elements.empty()) throw ReadFailure(where + "a property before any element");
            PlyProperty property;
            bool valid = false;
            if (tokens.size() == 5 && tokens[1] == "list") {
                bool countIsFloat = false;
                bool countIsSigned = false;
                valid = PlyType(tokens[2], property.countBytes, countIsFloat, countIsSigned) && !countIsFloat &&
                        PlyType(tokens[3], property.bytes, property.isFloat, property.isSigned);
                property.list = true;
                property.name = tokens[4];
            } else if (tokens.size() == 3) {
                valid = PlyType(tokens[1], property.bytes, property.isFloat, property.isSigned);
                property.name = tokens[2];
            }
            if (!valid) throw ReadFailure(where + "a property needs a known type and a name");
            header.elements.back().properties.push_back(property);
        } else {
            throw ReadFailure(where + "unknown keyword " + Shown(tokens[0]));
        }
    }
    if (format.empty()) throw ReadFailure("the header names no format");
    header.binary = format != "ascii";
    header.bigEndian = format == "binary_big_endian";
    header.dataStart = bytes.size() - lines.Rest().size();
    header.dataLine = lines.Number();

    for (std::size_t e = 0; e < header.elements.size(); ++e) {
        PlyElement& element = header.elements[e];
        // note: an element without values would be counted through for
        // nothing, however large its count.
        if (element.count > 0 && element.properties.empty())
            throw ReadFailure("element " + Shown(element.name) + " has no properties");
        const bool isVertex = element.name == "vertex";
        const bool isFace = element.name == "face";
        if (isVertex) header.vertex = e;
        if (isFace) header.face = e;
        bool seenIndices = false;
        int coordinates = 0;
        for (PlyProperty& property : element.properties) {
            const bool indices = isFace && property.list &&
                                 (property.name == "vertex_indices" || property.name == "vertex_index");
            if (property.list && !indices)
                throw ReadFailure("list property " + Shown(property.name) + " of element " + Shown(element.name) +
                                  " is not supported");
            if (indices && seenIndices) throw ReadFailure("the face element holds two vertex index lists");
            if (indices && header.binary && property.isFloat) throw ReadFailure("vertex indices must be integers");
            if (isFace && !property.list && !seenIndices)
                throw ReadFailure("face property " + Shown(property.name) +
                                  " before the vertex indices is not supported");
            property.role = indices ? Role::Indices : isVertex ? VertexRole(property.name)
                                                     : isFace  ? FaceRole(property.name)
                                                               : Role::Other;
            if (isVertex && header.binary && property.role != Role::Other && property.role != Role::Colour &&
                !property.isFloat)
                throw ReadFailure("vertex property " + Shown(property.name) + " must be float or double");
            if (property.role == Role::X || property.role == Role::Y || property.role == Role::Z) ++coordinates;
            seenIndices = seenIndices || indices;
            element.rowBytes += static_cast<std::size_t>(property.bytes);
        }
        if (isFace && !seenIndices) throw ReadFailure("the face element has no vertex_indices list");
        if (isVertex) header.coordinates = coordinates;
    }
    if (header.vertex == SIZE_MAX) throw ReadFailure("the header has no vertex element");
    for (const Role axis : {Role::X, Role::Y, Role::Z}) {
        bool present = false;
        for (const PlyProperty& p : header.elements[header.vertex].properties) present = present || p.role == axis;
        if (!present) {
            const char* name = axis == Role::X ? "x" : axis == Role::Y ? "y" : "z";
            throw ReadFailure(std::string("the vertex element has no '") + name + "' property");
        }
    }
    // note: binary data gives a repeated coordinate its last value; text has
    // always been refused.
    if (!header.binary && header.coordinates != 3)
        throw ReadFailure("the vertex element has more than one 'x', 'y' or 'z' property");
    return header;
}

// Where the data ran out or went wrong, counted as the reader goes.
struct Place {
    long long vertexCount = 0;
    long long faceCount = 0;
    long long verticesDone = 0;
    long long facesDone = 0;
    const PlyElement* other = nullptr;  // while neither vertex nor face
    long long otherDone = 0;

    std::string Describe() const
    {
        if (other)
            return "the " + Ordinal(static_cast<std::size_t>(otherDone + 1)) + " of " + std::to_string(other->count) +
                   " " + Escaped(other->name.substr(0, 32)) + " elements";
        if (verticesDone < vertexCount)
            return "the " + Ordinal(static_cast<std::size_t>(verticesDone + 1)) + " of " + std::to_string(vertexCount) +
                   " vertices";
        const long long face = std::min(facesDone + 1, faceCount);
        return "the " + Ordinal(static_cast<std::size_t>(face)) + " of " + std::to_string(faceCount) + " faces";
    }
};

void Reserve(FaceList& faces, const Header& header, std::size_t dataBytes)
{
    const auto& vertex = header.elements[header.vertex];
    faces.points.reserve(std::min<std::size_t>(static_cast<std::size_t>(vertex.count), dataBytes / 2 + 1));
    if (header.face == SIZE_MAX) return;
    const auto faceCount = static_cast<std::size_t>(header.elements[header.face].count);
    faces.faceStarts.reserve(std::min<std::size_t>(faceCount, dataBytes / 2 + 1));
    faces.corners.reserve(std::min<std::size_t>(3 * faceCount, dataBytes / 2 + 1));
}

// ---------------------------------------------------------------- binary

class BinaryData {
public:
    BinaryData(std::string_view bytes, bool bigEndian) : bytes_(bytes), bigEndian_(bigEndian) {}

    std::size_t Left() const { return bytes_.size() - at_; }
    void Skip(std::size_t n) { at_ += n; }

    // An unsigned value of width bytes, or its sign extension.
    uint64_t Integer(int width, bool isSigned)
    {
        uint64_t value = 0;
        switch (width) {
            case 1: value = Load<uint8_t>(); break;
            case 2: value = Load<uint16_t>(); break;
            case 4: value = Load<uint32_t>(); break;
            default: value = Load<uint64_t>(); break;
        }
        if (isSigned && width < 8 && (value >> (8 * width - 1)) != 0) value |= ~uint64_t{0} << (8 * width);
        return value;
    }

    float Float(int width)
    {
        const uint64_t raw = Integer(width, false);
        if (width == 4) {
            float value = 0.0f;
            const auto bits = static_cast<uint32_t>(raw);
            std::memcpy(&value, &bits, sizeof value);
            return value;
        }
        double value = 0.0;
        std::memcpy(&value, &raw, sizeof value);
        // note: beyond float range is infinite, refused with the vertex.
        if (std::fabs(value) > std::numeric_limits<float>::max())
            return value > 0.0 ? std::numeric_limits<float>::infinity() : -std::numeric_limits<float>::infinity();
        return static_cast<float>(value);
    }

private:
    template <typename T>
    T Load()
    {
        T value = 0;
        std::memcpy(&value, bytes_.data() + at_, sizeof value);
        at_ += sizeof value;
        if constexpr (sizeof value > 1) {
            if (bigEndian_ != HostIsBigEndian) value = Swapped(value);
        }
        return value;
    }

    static uint16_t Swapped(uint16_t v) { return __builtin_bswap16(v); }
    static uint32_t Swapped(uint32_t v) { return __builtin_bswap32(v); }
    static uint64_t Swapped(uint64_t v) { return __builtin_bswap64(v); }

    static constexpr bool HostIsBigEndian = __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__;
    std::string_view bytes_;
    bool bigEndian_;
    std::size_t at_ = 0;
};

void ReadBinaryElements(const Header& header, std::string_view data, FaceList& faces, Place& place,
                        const ReadMeter& progress, std::vector<Vec3>& colours)
{
    const bool coloured = HasVertexColours(header.elements[header.vertex]);
    BinaryData in(data, header.bigEndian);
    bool vertexRead = false;
    bool faceRead = header.face == SIZE_MAX;
    const auto truncated = [&]() { return ReadFailure("truncated: the data ends in " + place.Describe()); };
    for (std::size_t e = 0; e < header.elements.size() && !(vertexRead && faceRead); ++e) {
        const PlyElement& element = header.elements[e];
        const auto count = static_cast<std::size_t>(element.count);
        if (e == header.vertex) {
            for (std::size_t v = 0; v < count; ++v) {
                progress.Every("reading PLY vertices", v, count);
                if (in.Left() < element.rowBytes) throw truncated();
                Vec3 p, colour{1.0f, 1.0f, 1.0f};
                for (const PlyProperty& property : element.properties) {
                    const int channel = property.role == Role::Colour ? ColourChannel(property.name) : -1;
                    if (property.role == Role::X) p.x = in.Float(property.bytes);
                    else if (property.role == Role::Y) p.y = in.Float(property.bytes);
                    else if (property.role == Role::Z) p.z = in.Float(property.bytes);
                    else if (channel >= 0 && property.isFloat)
                        (&colour.x)[channel] = ColourFraction(in.Float(property.bytes), property);
                    else if (channel >= 0)
                        (&colour.x)[channel] = ColourFraction(
                            property.isSigned ? static_cast<double>(static_cast<int64_t>(in.Integer(property.bytes, true)))
                                              : static_cast<double>(in.Integer(property.bytes, false)),
                            property);
                    else in.Skip(static_cast<std::size_t>(property.bytes));
                }
                faces.points.push_back(p);
                if (coloured) colours.push_back(colour);
                ++place.verticesDone;
            }
            vertexRead = true;
        } else if (e == header.face) {
            for (std::size_t f = 0; f < count; ++f) {
                progress.Every("reading PLY faces", f, count);
                faces.AddFace();
                for (const PlyProperty& property : element.properties) {
                    if (property.role != Role::Indices) {
                        if (in.Left() < static_cast<std::size_t>(property.bytes)) throw truncated();
                        in.Skip(static_cast<std::size_t>(property.bytes));
                        continue;
                    }
                    if (in.Left() < static_cast<std::size_t>(property.countBytes)) throw truncated();
                    // note: a count is read as unsigned whatever its type says.
                    const auto corners = static_cast<uint32_t>(in.Integer(property.countBytes, false));
                    if (in.Left() / static_cast<std::size_t>(property.bytes) < corners) throw truncated();
                    for (uint32_t c = 0; c < corners; ++c)
                        faces.corners.push_back(static_cast<int32_t>(static_cast<uint32_t>(in.Integer(property.bytes, property.isSigned))));
                }
                ++place.facesDone;
            }
            faceRead = true;
        } else {
            place.other = &element;
            if (in.Left() / std::max<std::size_t>(element.rowBytes, 1) < count) {
                place.otherDone = static_cast<long long>(in.Left() / element.rowBytes);
                throw truncated();
            }
            in.Skip(count * element.rowBytes);
            place.other = nullptr;
        }
    }
}

// ---------------------------------------------------------------- ASCII

void ReadAsciiElements(const Header& header, std::string_view data, FaceList& faces, Place& place,
                       const ReadMeter& progress, std::vector<Vec3>& colours)
{
    const bool coloured = HasVertexColours(header.elements[header.vertex]);
    LineCursor lines(data);
    std::string_view line;
    std::vector<std::string_view> tokens;
    const auto nextLine = [&]() {
        while (lines.Next(line)) {
            SplitTokens(line, tokens);
            if (!tokens.empty()) return;
        }
        throw ReadFailure("truncated: the data ends in " + place.Describe());
    };
    const auto where = [&]() { return AtLine(header.dataLine + lines.Number()); };
    const auto malformed = [&](std::string_view token) {
        return ReadFailure(where() + "malformed: a value in " + place.Describe() + " is not a number of its type: " +
                           Shown(token));
    };
    const auto tooFew = [&]() { return ReadFailure(where() + "too few values for " + place.Describe()); };
    bool vertexRead = false;
    bool faceRead = header.face == SIZE_MAX;
    for (std::size_t e = 0; e < header.elements.size() && !(vertexRead && faceRead); ++e) {
        const PlyElement& element = header.elements[e];
        const auto count = static_cast<std::size_t>(element.count);
        place.other = e == header.vertex || e == header.face ? nullptr : &element;
        for (std::size_t i = 0; i < count; ++i) {
            place.otherDone = static_cast<long long>(i);
            if ((i & 0xFFFF) == 0) progress.Report("reading PLY", lines.Fraction());
            nextLine();
            std::size_t next = 0;
            Vec3 p, colour{1.0f, 1.0f, 1.0f};
            if (e == header.face) faces.AddFace();
            for (const PlyProperty& property : element.properties) {
                if (property.role == Role::Indices) {
                    uint32_t corners = 0;
                    if (next >= tokens.size()) throw tooFew();
                    if (!ParseStreamUnsigned(tokens[next], corners)) throw malformed(tokens[next]);
                    ++next;
                    if (tokens.size() - next < corners)
                        throw ReadFailure(where() + place.Describe() + " promises " + std::to_string(corners) +
                                          " corners, the line holds " + std::to_string(tokens.size() - next));
                    for (uint32_t c = 0; c < corners; ++c, ++next) {
                        uint32_t index = 0;
                        if (!ParseStreamUnsigned(tokens[next], index)) throw malformed(tokens[next]);
                        faces.corners.push_back(static_cast<int32_t>(index));
                    }
                    continue;
                }
                if (next >= tokens.size()) throw tooFew();
                const std::string_view token = tokens[next++];
                float value = 0.0f;
                int32_t ignored = 0;
                bool sound = true;
                if (property.role == Role::X || property.role == Role::Y || property.role == Role::Z ||
                    property.role == Role::StreamFloat || (property.role == Role::Colour && property.isFloat && property.bytes == 4))
                    sound = ParseStreamFloat(token, value);
                else if (property.role == Role::Colour)
                    sound = ParseStreamInt(token, ignored);
                if (!sound) throw malformed(token);
                const int channel = e == header.vertex && property.role == Role::Colour ? ColourChannel(property.name) : -1;
                if (channel >= 0)
                    (&colour.x)[channel] = ColourFraction(property.isFloat && property.bytes == 4 ? value : ignored, property);
                if (property.role == Role::X) p.x = value;
                if (property.role == Role::Y) p.y = value;
                if (property.role == Role::Z) p.z = value;
            }
            if (next != tokens.size())
                throw ReadFailure(where() + std::to_string(tokens.size()) + " values where " + place.Describe() +
                                  " needs " + std::to_string(next) + "; each element takes one line");
            if (e == header.vertex) {
                faces.points.push_back(p);
                if (coloured) colours.push_back(colour);
                ++place.verticesDone;
            }
            if (e == header.face) ++place.facesDone;
        }
        place.other = nullptr;
        vertexRead = vertexRead || e == header.vertex;
        faceRead = faceRead || e == header.face;
    }
}

}  // namespace

ModelTable ReadPly(std::string_view bytes, const ReadMeter& progress, std::vector<int32_t>* renumbered,
                   std::vector<Vec3>& colours)
{
    const Header header = ReadHeader(bytes);
    Place place;
    place.vertexCount = header.elements[header.vertex].count;
    place.faceCount = header.face == SIZE_MAX ? 0 : header.elements[header.face].count;
    FaceList faces;
    const std::string_view data = bytes.substr(header.dataStart);
    Reserve(faces, header, data.size());
    std::vector<Vec3> pointColours;
    if (header.binary)
        ReadBinaryElements(header, data, faces, place, progress, pointColours);
    else
        ReadAsciiElements(header, data, faces, place, progress, pointColours);
    std::vector<int32_t> slots;
    ModelTable table = BuildTable(faces, 0, progress, &slots);
    if (!pointColours.empty()) {
        colours.assign(table.vertices.size(), Vec3{});
        for (std::size_t v = 0; v < slots.size() && v < pointColours.size(); ++v)
            if (slots[v] >= 0) colours[static_cast<std::size_t>(slots[v])] = pointColours[v];
    }
    if (renumbered) *renumbered = std::move(slots);
    return table;
}

}  // namespace vorlane::mesh_reading
