#include "io/mesh_reader.h"

#include <OpenMesh/Core/IO/importer/BaseImporter.hh>
#include <OpenMesh/Core/IO/reader/OBJReader.hh>
#include <OpenMesh/Core/IO/reader/OFFReader.hh>
#include <OpenMesh/Core/IO/reader/PLYReader.hh>
#include <OpenMesh/Core/IO/reader/STLReader.hh>
#include <OpenMesh/Core/System/omstream.hh>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <limits>
#include <new>
#include <sstream>
#include <stdexcept>
#include <streambuf>
#include <string_view>
#include <utility>
#include <vector>

#include "geometry/triangulate_polygon.h"

namespace vorlane {

namespace {

using OpenMesh::FaceHandle;
using OpenMesh::HalfedgeHandle;
using OpenMesh::VertexHandle;

// A reason to refuse the file, already worded for the user.
class ReadFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Thrown by BoundedBuffer when a reader asks for a byte past the end.
struct EndOfData {};

// An in-memory stream buffer that throws instead of reporting the end: the
// OFF and PLY readers loop over counts taken from the file without looking
// for the end, so a short or lying file would otherwise spin or eat memory.
class BoundedBuffer : public std::streambuf {
public:
    explicit BoundedBuffer(const std::string& bytes)
    {
        char* begin = const_cast<char*>(bytes.data());
        setg(begin, begin, begin + bytes.size());
    }

protected:
    int_type underflow() override { throw EndOfData{}; }

    pos_type seekoff(off_type offset, std::ios_base::seekdir dir, std::ios_base::openmode) override
    {
        off_type base = 0;
        if (dir == std::ios_base::cur) base = gptr() - eback();
        if (dir == std::ios_base::end) base = egptr() - eback();
        return seekpos(pos_type(base + offset), std::ios_base::in);
    }

    pos_type seekpos(pos_type position, std::ios_base::openmode) override
    {
        const off_type at = position;
        if (at < 0 || at > egptr() - eback()) return pos_type(off_type(-1));
        setg(eback(), eback() + at, egptr());
        return position;
    }
};

// Collects what a reader finds, as it finds it; no halfedge structure, so a
// non-manifold or badly wound file loses nothing here.
class TableImporter final : public OpenMesh::IO::BaseImporter {
public:
    std::vector<Vec3> points;
    std::vector<int32_t> corners;
    std::vector<std::size_t> faceStarts;
    // Vertices whose coordinates have all arrived: PLY adds a vertex first
    // and sets its point once read, OFF adds it when read.
    std::size_t completedVertices = 0;

    VertexHandle add_vertex(const OpenMesh::Vec3f& p) override
    {
        ++completedVertices;
        return AddPoint(Vec3{p[0], p[1], p[2]});
    }
    VertexHandle add_vertex(const OpenMesh::Vec3d& p) override
    {
        ++completedVertices;
        return AddPoint(Vec3{ToFloat(p[0]), ToFloat(p[1]), ToFloat(p[2])});
    }
    VertexHandle add_vertex() override { return AddPoint(Vec3{}); }
    void set_point(VertexHandle v, const OpenMesh::Vec3f& p) override
    {
        if (v.idx() < 0 || static_cast<std::size_t>(v.idx()) >= points.size()) return;
        points[static_cast<std::size_t>(v.idx())] = Vec3{p[0], p[1], p[2]};
        ++completedVertices;
    }

    FaceHandle add_face(const VHandles& handles) override
    {
        if (faceStarts.size() >= static_cast<std::size_t>(std::numeric_limits<int32_t>::max()))
            throw ReadFailure("more faces than a mesh can hold");
        faceStarts.push_back(corners.size());
        for (const VertexHandle& v : handles) corners.push_back(v.idx());
        return FaceHandle(static_cast<int>(faceStarts.size() - 1));
    }

    // What the readers may also hand over; none of it is kept.
    HalfedgeHandle add_edge(VertexHandle, VertexHandle) override { return HalfedgeHandle(); }
    FaceHandle add_face(HalfedgeHandle) override { return FaceHandle(); }
    void add_face_texcoords(FaceHandle, VertexHandle, const std::vector<OpenMesh::Vec2f>&) override {}
    void add_face_texcoords(FaceHandle, VertexHandle, const std::vector<OpenMesh::Vec3f>&) override {}
    void set_face_texindex(FaceHandle, int) override {}
    void set_halfedge(VertexHandle, HalfedgeHandle) override {}
    void set_normal(VertexHandle, const OpenMesh::Vec3f&) override {}
    void set_normal(VertexHandle, const OpenMesh::Vec3d&) override {}
    void set_color(VertexHandle, const OpenMesh::Vec3uc&) override {}
    void set_color(VertexHandle, const OpenMesh::Vec4uc&) override {}
    void set_color(VertexHandle, const OpenMesh::Vec3f&) override {}
    void set_color(VertexHandle, const OpenMesh::Vec4f&) override {}
    void set_texcoord(VertexHandle, const OpenMesh::Vec2f&) override {}
    void set_status(VertexHandle, const OpenMesh::Attributes::StatusInfo&) override {}
    void set_next(HalfedgeHandle, HalfedgeHandle) override {}
    void set_face(HalfedgeHandle, FaceHandle) override {}
    void request_face_texcoords2D() override {}
    void set_texcoord(HalfedgeHandle, const OpenMesh::Vec2f&) override {}
    void set_texcoord(VertexHandle, const OpenMesh::Vec3f&) override {}
    void set_texcoord(HalfedgeHandle, const OpenMesh::Vec3f&) override {}
    void set_status(HalfedgeHandle, const OpenMesh::Attributes::StatusInfo&) override {}
    void set_color(OpenMesh::EdgeHandle, const OpenMesh::Vec3uc&) override {}
    void set_color(OpenMesh::EdgeHandle, const OpenMesh::Vec4uc&) override {}
    void set_color(OpenMesh::EdgeHandle, const OpenMesh::Vec3f&) override {}
    void set_color(OpenMesh::EdgeHandle, const OpenMesh::Vec4f&) override {}
    void set_status(OpenMesh::EdgeHandle, const OpenMesh::Attributes::StatusInfo&) override {}
    void set_normal(FaceHandle, const OpenMesh::Vec3f&) override {}
    void set_normal(FaceHandle, const OpenMesh::Vec3d&) override {}
    void set_color(FaceHandle, const OpenMesh::Vec3uc&) override {}
    void set_color(FaceHandle, const OpenMesh::Vec4uc&) override {}
    void set_color(FaceHandle, const OpenMesh::Vec3f&) override {}
    void set_color(FaceHandle, const OpenMesh::Vec4f&) override {}
    void set_status(FaceHandle, const OpenMesh::Attributes::StatusInfo&) override {}
    void add_texture_information(int, std::string) override {}

    size_t n_vertices() const override { return points.size(); }
    size_t n_faces() const override { return faceStarts.size(); }
    size_t n_edges() const override { return 0; }

private:
    VertexHandle AddPoint(const Vec3& p)
    {
        if (points.size() >= static_cast<std::size_t>(std::numeric_limits<int32_t>::max()))
            throw ReadFailure("more vertices than a mesh can hold");
        points.push_back(p);
        return VertexHandle(static_cast<int>(points.size() - 1));
    }

    static float ToFloat(double value)
    {
        // note: a double beyond float range becomes infinite, refused later.
        if (std::fabs(value) > std::numeric_limits<float>::max())
            return value > 0.0 ? std::numeric_limits<float>::infinity() : -std::numeric_limits<float>::infinity();
        return static_cast<float>(value);
    }
};

// OpenMesh writes its complaints to its own error and log streams; while a
// file is read they land here instead of on standard error, and the first
// one can explain a refusal.
// note: the streams' buffers are swapped rather than their targets
// reconnected, since OpenMesh leaks a target on every disconnect.
class MessageCapture {
public:
    MessageCapture() : errorBuffer_(omerr().rdbuf(&text_)), logBuffer_(omlog().rdbuf(&ignored_)) {}
    ~MessageCapture()
    {
        omerr().rdbuf(errorBuffer_);
        omlog().rdbuf(logBuffer_);
    }
    MessageCapture(const MessageCapture&) = delete;
    MessageCapture& operator=(const MessageCapture&) = delete;

    std::string FirstMessage() const
    {
        std::istringstream lines(text_.str());
        std::string line;
        while (std::getline(lines, line)) {
            const auto first = line.find_first_not_of(" \t\r");
            if (first == std::string::npos) continue;
            const auto last = line.find_last_not_of(" \t\r");
            return line.substr(first, last - first + 1);
        }
        return {};
    }

private:
    std::stringbuf text_;
    std::stringbuf ignored_;
    std::streambuf* errorBuffer_;
    std::streambuf* logBuffer_;
};

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

// ---------------------------------------------------------------- text helpers

struct Line {
    std::size_t number = 0;  // counting from 1
    std::string_view text;   // without its end of line
};

std::vector<Line> SplitLines(std::string_view bytes)
{
    std::vector<Line> lines;
    std::size_t start = 0;
    std::size_t number = 1;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string_view::npos) end = bytes.size();
        std::string_view text = bytes.substr(start, end - start);
        if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
        lines.push_back(Line{number, text});
        start = end + 1;
        ++number;
    }
    return lines;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}

std::vector<std::string_view> Tokens(std::string_view text)
{
    std::vector<std::string_view> tokens;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && IsBlank(text[i])) ++i;
        const std::size_t start = i;
        while (i < text.size() && !IsBlank(text[i])) ++i;
        if (i > start) tokens.push_back(text.substr(start, i - start));
    }
    return tokens;
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
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

// A whole token that is a number whose float value is finite.
bool IsFiniteFloat(std::string_view token)
{
    if (token.empty() || token.size() > 64) return false;
    const std::string text(token);
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size()) return false;
    return std::isfinite(value) && std::fabs(value) <= std::numeric_limits<float>::max();
}

// A whole token that is a decimal integer in [minimum, INT32_MAX].
bool ParseInt(std::string_view token, long long minimum, long long& value)
{
    if (token.empty() || token.size() > 20) return false;
    const std::string text(token);
    char* end = nullptr;
    errno = 0;
    value = std::strtoll(text.c_str(), &end, 10);
    return end == text.c_str() + text.size() && errno == 0 && value >= minimum &&
           value <= std::numeric_limits<int32_t>::max();
}

// ---------------------------------------------------------------- OBJ

// One face corner: v, v/t, v//n or v/t/n, each an integer, v not empty.
bool IsObjCorner(std::string_view token)
{
    std::size_t part = 0;
    std::size_t i = 0;
    while (part < 3) {
        std::size_t start = i;
        if (i < token.size() && (token[i] == '-' || token[i] == '+')) ++i;
        const std::size_t digits = i;
        while (i < token.size() && std::isdigit(static_cast<unsigned char>(token[i]))) ++i;
        const bool empty = i == start;
        if (i == digits && !empty) return false;  // a sign alone
        if (part == 0 && empty) return false;
        if (i == token.size()) return true;
        if (token[i] != '/') return false;
        ++i;
        ++part;
    }
    return false;
}

// The OBJ reader drops a vertex whose coordinates do not parse, which shifts
// every later index, reads corners after an inline comment, and opens any
// file a "mtllib" line names. Checked and cleaned here first.
std::string PrepareObj(const std::string& bytes)
{
    std::string cleaned;
    cleaned.reserve(bytes.size() + 1);
    for (const Line& line : SplitLines(bytes)) {
        std::string_view text = WithoutComment(line.text);
        const std::vector<std::string_view> tokens = Tokens(text);
        const std::string where = "line " + std::to_string(line.number) + ": ";
        if (!tokens.empty() && (tokens[0] == "mtllib" || tokens[0] == "usemtl")) text = {};
        if (!tokens.empty() && tokens[0] == "v") {
            if (tokens.size() < 4 || !IsFiniteFloat(tokens[1]) || !IsFiniteFloat(tokens[2]) ||
                !IsFiniteFloat(tokens[3]))
                throw ReadFailure(where + "a vertex needs three finite coordinates");
        }
        if (!tokens.empty() && tokens[0] == "f") {
            for (std::size_t i = 1; i < tokens.size(); ++i) {
                if (!IsObjCorner(tokens[i]))
                    throw ReadFailure(where + "face corner '" + std::string(tokens[i]) + "' is not a vertex index");
            }
        }
        cleaned.append(text.data(), text.size());
        cleaned += '\n';
    }
    return cleaned;
}

// ---------------------------------------------------------------- OFF

struct OffLayout {
    long long vertexCount = 0;
    long long faceCount = 0;
};

// Rewrites an ASCII OFF file in the one form the OFF reader takes without
// guessing: a bare "OFF" line, the three counts on the next, one vertex per
// line, and face lines cut after their corners (dropping face colours). The
// header's ST, C and N prefixes only add values to vertex lines, which the
// reader skips.
std::string PrepareOff(const std::string& bytes, OffLayout& layout)
{
    std::vector<Line> lines;
    for (const Line& line : SplitLines(bytes)) {
        Line kept{line.number, WithoutComment(line.text)};
        if (!Tokens(kept.text).empty()) lines.push_back(kept);
    }
    if (lines.empty()) throw ReadFailure("the file holds no OFF header");

    std::size_t next = 0;
    std::vector<std::string_view> header = Tokens(lines[next++].text);
    std::string_view keyword = header[0];
    std::size_t prefix = 0;
    if (keyword.substr(prefix, 2) == "ST") prefix += 2;
    if (keyword.substr(prefix, 1) == "C") prefix += 1;
    if (keyword.substr(prefix, 1) == "N") prefix += 1;
    if (keyword.substr(prefix) == "4OFF" || keyword.substr(prefix) == "nOFF")
        throw ReadFailure("only three-dimensional OFF is supported, not '" + std::string(keyword) + "'");
    if (keyword.substr(prefix) != "OFF")
        throw ReadFailure("the file does not start with an OFF header (found '" + std::string(keyword) + "')");
    header.erase(header.begin());
    if (!header.empty() && header[0] == "BINARY") throw ReadFailure("binary OFF is not supported");

    std::vector<std::string_view> counts = header;
    std::size_t countLine = lines[0].number;
    if (counts.empty()) {
        if (next == lines.size()) throw ReadFailure("truncated: the vertex and face counts are missing");
        countLine = lines[next].number;
        counts = Tokens(lines[next++].text);
    }
    long long edges = 0;
    if (counts.size() < 2 || counts.size() > 3 || !ParseInt(counts[0], 0, layout.vertexCount) ||
        !ParseInt(counts[1], 0, layout.faceCount) || (counts.size() == 3 && !ParseInt(counts[2], 0, edges)))
        throw ReadFailure("line " + std::to_string(countLine) + ": expected the vertex, face and edge counts");

    std::string text = "OFF\n" + std::to_string(layout.vertexCount) + " " + std::to_string(layout.faceCount) + " 0\n";
    for (long long v = 0; v < layout.vertexCount; ++v) {
        if (next == lines.size())
            throw ReadFailure("truncated: " + std::to_string(layout.vertexCount) + " vertices promised, " +
                              std::to_string(v) + " found");
        const std::vector<std::string_view> tokens = Tokens(lines[next].text);
        if (tokens.size() < 3 || !IsFiniteFloat(tokens[0]) || !IsFiniteFloat(tokens[1]) || !IsFiniteFloat(tokens[2]))
            throw ReadFailure("line " + std::to_string(lines[next].number) +
                              ": a vertex needs three finite coordinates");
        text.append(lines[next].text.data(), lines[next].text.size());
        text += '\n';
        ++next;
    }
    for (long long f = 0; f < layout.faceCount; ++f) {
        if (next == lines.size())
            throw ReadFailure("truncated: " + std::to_string(layout.faceCount) + " faces promised, " +
                              std::to_string(f) + " found");
        const std::vector<std::string_view> tokens = Tokens(lines[next].text);
        long long cornerCount = 0;
        long long index = 0;
        bool sound = ParseInt(tokens[0], 0, cornerCount) && tokens.size() >= static_cast<std::size_t>(cornerCount) + 1;
        for (long long i = 1; sound && i <= cornerCount; ++i) sound = ParseInt(tokens[static_cast<std::size_t>(i)], 0, index);
        if (!sound)
            throw ReadFailure("line " + std::to_string(lines[next].number) +
                              ": a face needs its corner count and that many vertex indices");
        for (long long i = 0; i <= cornerCount; ++i) {
            text.append(tokens[static_cast<std::size_t>(i)].data(), tokens[static_cast<std::size_t>(i)].size());
            text += i == cornerCount ? '\n' : ' ';
        }
        ++next;
    }
    return text;
}

// ---------------------------------------------------------------- PLY

struct PlyProperty {
    std::string name;
    bool list = false;
    int countBytes = 0;     // list count width
    std::string type;       // scalar type or list entry type, as the reader names it
    bool isFloat = false;
};

struct PlyElement {
    std::string name;
    long long count = 0;
    std::vector<PlyProperty> properties;
};

struct PlyLayout {
    bool binary = false;
    long long vertexCount = 0;
    long long faceCount = 0;
};

// The PLY scalar types by name, as (reader's name, bytes, is float).
bool PlyType(std::string_view name, std::string& canonical, int& bytes, bool& isFloat)
{
    static const struct {
        const char* names[2];
        const char* canonical;
        int bytes;
        bool isFloat;
    } types[] = {
        {{"char", "int8"}, "char", 1, false},      {{"uchar", "uint8"}, "uchar", 1, false},
        {{"short", "int16"}, "short", 2, false},   {{"ushort", "uint16"}, "ushort", 2, false},
        {{"int", "int32"}, "int", 4, false},       {{"uint", "uint32"}, "uint", 4, false},
        {{"float", "float32"}, "float", 4, true}, {{"double", "float64"}, "double", 8, true},
    };
    for (const auto& type : types) {
        if (name == type.names[0] || name == type.names[1]) {
            canonical = type.canonical;
            bytes = type.bytes;
            isFloat = type.isFloat;
            return true;
        }
    }
    return false;
}

bool IsVertexFloatProperty(const std::string& name)
{
    static const char* const names[] = {"x", "y", "z", "nx", "ny", "nz", "u", "v", "s", "t"};
    return std::any_of(std::begin(names), std::end(names), [&](const char* n) { return name == n; });
}

// Checks the header against what the PLY reader can take and rewrites it in
// the one spelling the reader parses reliably (it expects "format" on the
// second line, finds the binary data by a fixed offset after "end_header",
// and reads a list's count by a fixed set of type names), followed by the
// data unchanged.
std::string PreparePly(const std::string& bytes, PlyLayout& layout)
{
    std::size_t position = 0;
    std::vector<PlyElement> elements;
    std::string format;
    bool sawMagic = false;
    bool sawEnd = false;
    std::size_t lineNumber = 0;
    while (!sawEnd) {
        if (position >= bytes.size()) throw ReadFailure("truncated: the header has no end_header line");
        std::size_t end = bytes.find('\n', position);
        if (end == std::string::npos) throw ReadFailure("truncated: the header has no end_header line");
        const std::string_view line(bytes.data() + position, end - position);
        position = end + 1;
        ++lineNumber;
        const std::vector<std::string_view> tokens = Tokens(line);
        const std::string where = "header line " + std::to_string(lineNumber) + ": ";
        if (!sawMagic) {
            if (tokens.size() != 1 || tokens[0] != "ply") throw ReadFailure("the file does not start with 'ply'");
            sawMagic = true;
            continue;
        }
        if (tokens.empty() || tokens[0] == "comment" || tokens[0] == "obj_info") continue;
        if (tokens[0] == "end_header") {
            sawEnd = true;
        } else if (tokens[0] == "format") {
            if (tokens.size() != 3 || (tokens[1] != "ascii" && tokens[1] != "binary_little_endian" &&
                                       tokens[1] != "binary_big_endian"))
                throw ReadFailure(where + "unknown format");
            format = std::string(tokens[1]);
        } else if (tokens[0] == "element") {
            PlyElement element;
            if (tokens.size() != 3 || !ParseInt(tokens[2], 0, element.count))
                throw ReadFailure(where + "an element needs a name and a count");
            element.name = std::string(tokens[1]);
            for (const PlyElement& other : elements) {
                if (other.name == element.name) throw ReadFailure(where + "element '" + element.name + "' repeated");
            }
            elements.push_back(element);
        } else if (tokens[0] == "property") {
            if (elements.empty()) throw ReadFailure(where + "a property before any element");
            PlyProperty property;
            int bytesPerValue = 0;
            bool valid = false;
            if (tokens.size() == 5 && tokens[1] == "list") {
                std::string countType;
                bool countIsFloat = false;
                valid = PlyType(tokens[2], countType, property.countBytes, countIsFloat) && !countIsFloat &&
                        PlyType(tokens[3], property.type, bytesPerValue, property.isFloat);
                property.list = true;
                property.name = std::string(tokens[4]);
            } else if (tokens.size() == 3) {
                valid = PlyType(tokens[1], property.type, bytesPerValue, property.isFloat);
                property.name = std::string(tokens[2]);
            }
            if (!valid) throw ReadFailure(where + "a property needs a known type and a name");
            elements.back().properties.push_back(property);
        } else {
            throw ReadFailure(where + "unknown keyword '" + std::string(tokens[0]) + "'");
        }
    }
    if (format.empty()) throw ReadFailure("the header names no format");
    layout.binary = format != "ascii";

    const PlyElement* vertex = nullptr;
    const PlyElement* face = nullptr;
    for (const PlyElement& element : elements) {
        // note: the reader would count through an element without values
        // however large its count, reading nothing.
        if (element.count > 0 && element.properties.empty())
            throw ReadFailure("element '" + element.name + "' has no properties");
        if (element.name == "vertex") vertex = &element;
        if (element.name == "face") face = &element;
        bool seenIndices = false;
        for (const PlyProperty& property : element.properties) {
            const bool indices = element.name == "face" && property.list &&
                                 (property.name == "vertex_indices" || property.name == "vertex_index");
            if (property.list && !indices)
                throw ReadFailure("list property '" + property.name + "' of element '" + element.name +
                                  "' is not supported");
            if (indices && seenIndices) throw ReadFailure("the face element holds two vertex index lists");
            if (indices && layout.binary && property.isFloat)
                throw ReadFailure("vertex indices must be integers");
            if (element.name == "face" && !property.list && !seenIndices)
                throw ReadFailure("face property '" + property.name + "' before the vertex indices is not supported");
            if (element.name == "vertex" && layout.binary && IsVertexFloatProperty(property.name) && !property.isFloat)
                throw ReadFailure("vertex property '" + property.name + "' must be float or double");
            seenIndices = seenIndices || indices;
        }
        if (element.name == "face" && !seenIndices) throw ReadFailure("the face element has no vertex_indices list");
    }
    if (!vertex) throw ReadFailure("the header has no vertex element");
    for (const char* axis : {"x", "y", "z"}) {
        const bool present = std::any_of(vertex->properties.begin(), vertex->properties.end(),
                                         [&](const PlyProperty& p) { return p.name == axis && !p.list; });
        if (!present) throw ReadFailure(std::string("the vertex element has no '") + axis + "' property");
    }
    layout.vertexCount = vertex->count;
    layout.faceCount = face ? face->count : 0;

    std::string text = "ply\nformat " + format + " 1.0\n";
    for (const PlyElement& element : elements) {
        text += "element " + element.name + " " + std::to_string(element.count) + "\n";
        for (const PlyProperty& property : element.properties) {
            if (property.list) {
                const char* count = property.countBytes == 1 ? "uchar" : property.countBytes == 2 ? "uint16" : "int";
                text += "property list " + std::string(count) + " " + property.type + " " + property.name + "\n";
            } else {
                text += "property " + property.type + " " + property.name + "\n";
            }
        }
    }
    text += "end_header\n";
    text.append(bytes, position, std::string::npos);
    // note: the ASCII reader must find a separator after the last value
    // without reading past the end.
    if (!layout.binary) text += '\n';
    return text;
}

// ---------------------------------------------------------------- STL

constexpr std::size_t StlHeaderBytes = 84;
constexpr std::size_t StlTriangleBytes = 50;

uint32_t LittleEndian32(const std::string& bytes, std::size_t at)
{
    return static_cast<uint32_t>(static_cast<unsigned char>(bytes[at])) |
           static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 8 |
           static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + 2])) << 16 |
           static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + 3])) << 24;
}

bool IsBinaryStl(const std::string& bytes)
{
    if (bytes.size() < StlHeaderBytes) return false;
    const uint64_t triangles = LittleEndian32(bytes, 80);
    return bytes.size() == StlHeaderBytes + triangles * StlTriangleBytes;
}

// note: binary STL headers often start with "solid" too, but text holds no
// NUL byte and a binary file's triangle count almost always does.
bool IsAsciiStl(const std::string& bytes)
{
    std::size_t i = 0;
    while (i < bytes.size() && std::isspace(static_cast<unsigned char>(bytes[i]))) ++i;
    return EqualsIgnoringCase(std::string_view(bytes).substr(i, 5), "solid") &&
           bytes.find('\0') == std::string::npos;
}

// The STL reader matches each corner to earlier ones through an ordering that
// a NaN breaks, so a NaN would silently take another vertex's place.
void CheckBinaryStl(const std::string& bytes)
{
    const uint32_t triangles = LittleEndian32(bytes, 80);
    for (uint32_t t = 0; t < triangles; ++t) {
        for (int corner = 0; corner < 3; ++corner) {
            for (int axis = 0; axis < 3; ++axis) {
                const std::size_t at = StlHeaderBytes + t * StlTriangleBytes + 12 + (corner * 3 + axis) * 4;
                const uint32_t raw = LittleEndian32(bytes, at);
                float value = 0.0f;
                std::memcpy(&value, &raw, sizeof value);
                if (!std::isfinite(value))
                    throw ReadFailure("the " + Ordinal(t + 1u) + " triangle has a corner that is not a finite number");
            }
        }
    }
}

// The ASCII STL reader takes any line holding "outer" as the start of a
// triangle and the next three lines as its corners, whatever they say; so
// the structure is checked here and handed over in a plain form.
std::string PrepareAsciiStl(const std::string& bytes)
{
    std::string text;
    bool ended = false;
    int cornersDue = 0;
    std::size_t loopLine = 0;
    for (const Line& line : SplitLines(bytes)) {
        const std::vector<std::string_view> tokens = Tokens(line.text);
        if (tokens.empty()) continue;
        const std::string where = "line " + std::to_string(line.number) + ": ";
        const std::string_view keyword = tokens[0];
        if (cornersDue > 0 && !EqualsIgnoringCase(keyword, "vertex"))
            throw ReadFailure("line " + std::to_string(loopLine) + ": a triangle needs three vertex lines");
        if (EqualsIgnoringCase(keyword, "vertex")) {
            if (cornersDue == 0) throw ReadFailure(where + "a vertex outside any 'outer loop'");
            if (tokens.size() != 4 || !IsFiniteFloat(tokens[1]) || !IsFiniteFloat(tokens[2]) ||
                !IsFiniteFloat(tokens[3]))
                throw ReadFailure(where + "a vertex needs three finite coordinates");
            text += "vertex " + std::string(tokens[1]) + " " + std::string(tokens[2]) + " " + std::string(tokens[3]) + "\n";
            --cornersDue;
        } else if (EqualsIgnoringCase(keyword, "outer")) {
            text += "outer loop\n";
            cornersDue = 3;
            loopLine = line.number;
        } else if (EqualsIgnoringCase(keyword, "endsolid")) {
            ended = true;
        } else if (!EqualsIgnoringCase(keyword, "solid") && !EqualsIgnoringCase(keyword, "facet") &&
                   !EqualsIgnoringCase(keyword, "endloop") && !EqualsIgnoringCase(keyword, "endfacet")) {
            throw ReadFailure(where + "unexpected '" + std::string(keyword.substr(0, 32)) + "'");
        }
    }
    if (cornersDue > 0) throw ReadFailure("truncated: the last triangle has fewer than three corners");
    if (!ended) throw ReadFailure("truncated: no 'endsolid' line");
    return text;
}

// ---------------------------------------------------------------- common

// Turns what the reader collected into triangles over the vertices in use.
// indexBase is how the file counts vertices, for the messages.
ModelTable BuildTable(const TableImporter& importer, int indexBase)
{
    const std::vector<Vec3>& points = importer.points;
    if (points.empty()) throw ReadFailure("the file holds no vertices");
    for (std::size_t v = 0; v < points.size(); ++v) {
        const Vec3& p = points[v];
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z))
            throw ReadFailure("vertex " + std::to_string(v + static_cast<std::size_t>(indexBase)) +
                              " has a coordinate that is not a finite number");
    }

    std::vector<Triangle> triangles;
    std::vector<int32_t> polygon;
    const std::size_t faceCount = importer.faceStarts.size();
    for (std::size_t f = 0; f < faceCount; ++f) {
        const std::size_t begin = importer.faceStarts[f];
        const std::size_t end = f + 1 < faceCount ? importer.faceStarts[f + 1] : importer.corners.size();
        polygon.clear();
        for (std::size_t c = begin; c < end; ++c) {
            const int32_t index = importer.corners[c];
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

    std::vector<int32_t> renumbered(points.size(), -1);
    ModelTable table;
    for (Triangle& triangle : triangles) {
        for (int32_t& corner : triangle) {
            int32_t& slot = renumbered[static_cast<std::size_t>(corner)];
            if (slot < 0) {
                slot = static_cast<int32_t>(table.vertices.size());
                table.vertices.push_back(points[static_cast<std::size_t>(corner)]);
            }
            corner = slot;
        }
    }
    table.triangles = std::move(triangles);
    return table;
}

// Where a counted reader stopped, for a truncation or a bad number.
std::string ReadPosition(const TableImporter& importer, long long vertexCount, long long faceCount)
{
    if (static_cast<long long>(importer.completedVertices) < vertexCount)
        return "the " + Ordinal(importer.completedVertices + 1) + " of " + std::to_string(vertexCount) + " vertices";
    const std::size_t face = std::min<std::size_t>(importer.faceStarts.size() + 1, static_cast<std::size_t>(faceCount));
    return "the " + Ordinal(face) + " of " + std::to_string(faceCount) + " faces";
}

ModelTable ReadCounted(OpenMesh::IO::BaseReader& reader, const std::string& text, long long vertexCount,
                       long long faceCount, MessageCapture& messages)
{
    TableImporter importer;
    BoundedBuffer buffer(text);
    std::istream in(&buffer);
    in.exceptions(std::ios::badbit | std::ios::failbit);
    OpenMesh::IO::Options options;
    bool read = false;
    try {
        read = reader.read(in, importer, options);
    } catch (const EndOfData&) {
        throw ReadFailure("truncated: the data ends in " + ReadPosition(importer, vertexCount, faceCount));
    } catch (const std::ios_base::failure&) {
        throw ReadFailure("malformed: a value in " + ReadPosition(importer, vertexCount, faceCount) +
                          " is not a number of its type");
    }
    if (!read) {
        const std::string message = messages.FirstMessage();
        throw ReadFailure(message.empty() ? "the reader refused the file" : "the reader refused the file: " + message);
    }
    if (static_cast<long long>(importer.points.size()) != vertexCount ||
        static_cast<long long>(importer.faceStarts.size()) != faceCount)
        throw ReadFailure("read " + std::to_string(importer.points.size()) + " vertices and " +
                          std::to_string(importer.faceStarts.size()) + " faces of " + std::to_string(vertexCount) +
                          " and " + std::to_string(faceCount));
    return BuildTable(importer, 0);
}

ModelTable ReadUncounted(OpenMesh::IO::BaseReader& reader, const std::string& text, OpenMesh::IO::Options options,
                         int indexBase, MessageCapture& messages)
{
    TableImporter importer;
    std::istringstream in(text, std::ios::in | std::ios::binary);
    if (!reader.read(in, importer, options)) {
        const std::string message = messages.FirstMessage();
        throw ReadFailure(message.empty() ? "the reader refused the file" : "the reader refused the file: " + message);
    }
    return BuildTable(importer, indexBase);
}

ModelTable Read(const std::string& bytes, MeshFormat format)
{
    if (bytes.empty()) throw ReadFailure("the file is empty");
    MessageCapture messages;
    switch (format) {
        case MeshFormat::Obj:
            return ReadUncounted(OpenMesh::IO::OBJReader(), PrepareObj(bytes), OpenMesh::IO::Options(), 1, messages);
        case MeshFormat::Off: {
            OffLayout layout;
            const std::string text = PrepareOff(bytes, layout);
            return ReadCounted(OpenMesh::IO::OFFReader(), text, layout.vertexCount, layout.faceCount, messages);
        }
        case MeshFormat::Ply: {
            PlyLayout layout;
            const std::string text = PreparePly(bytes, layout);
            return ReadCounted(OpenMesh::IO::PLYReader(), text, layout.vertexCount, layout.faceCount, messages);
        }
        case MeshFormat::Stl:
            if (IsBinaryStl(bytes)) {
                CheckBinaryStl(bytes);
                return ReadUncounted(OpenMesh::IO::STLReader(), bytes, OpenMesh::IO::Options::Binary, 0, messages);
            }
            if (IsAsciiStl(bytes))
                return ReadUncounted(OpenMesh::IO::STLReader(), PrepareAsciiStl(bytes), OpenMesh::IO::Options(), 0,
                                     messages);
            if (bytes.size() < StlHeaderBytes) throw ReadFailure("neither ASCII STL nor long enough for binary STL");
            throw ReadFailure("truncated binary STL: " + std::to_string(LittleEndian32(bytes, 80)) +
                              " triangles promised need " +
                              std::to_string(StlHeaderBytes + uint64_t{LittleEndian32(bytes, 80)} * StlTriangleBytes) +
                              " bytes, the file has " + std::to_string(bytes.size()));
    }
    throw ReadFailure("unknown format");
}

}  // namespace

bool MeshFormatOfPath(const std::string& path, MeshFormat& format)
{
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    static const std::pair<const char*, MeshFormat> formats[] = {
        {".obj", MeshFormat::Obj}, {".off", MeshFormat::Off}, {".ply", MeshFormat::Ply}, {".stl", MeshFormat::Stl}};
    for (const auto& [name, value] : formats) {
        if (extension == name) {
            format = value;
            return true;
        }
    }
    return false;
}

MeshReadResult ReadMeshBytes(const std::string& bytes, MeshFormat format, const std::string& name)
{
    MeshReadResult result;
    try {
        result.table = Read(bytes, format);
    } catch (const ReadFailure& failure) {
        result.error = name + ": " + failure.what();
    } catch (const std::bad_alloc&) {
        result.error = name + ": too large to read into memory";
    } catch (const std::exception& failure) {
        result.error = name + ": cannot be read: " + failure.what();
    } catch (...) {
        result.error = name + ": cannot be read";
    }
    if (!result.error.empty()) result.table = ModelTable{};
    return result;
}

MeshReadResult ReadMeshFile(const std::string& path)
{
    MeshReadResult result;
    MeshFormat format{};
    if (!MeshFormatOfPath(path, format)) {
        const std::string extension = std::filesystem::path(path).extension().string();
        result.error = path + ": unknown mesh format '" + extension + "' (expected .obj, .off, .ply or .stl)";
        return result;
    }
    std::error_code ignored;
    if (std::filesystem::is_directory(path, ignored)) {
        result.error = path + ": is a directory";
        return result;
    }
    // note: a pipe or a device could block or never end.
    if (std::filesystem::exists(path, ignored) && !std::filesystem::is_regular_file(path, ignored)) {
        result.error = path + ": is not a regular file";
        return result;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        result.error = path + ": cannot open: " + std::strerror(errno);
        return result;
    }
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (in.bad()) {
        result.error = path + ": cannot read: " + std::strerror(errno);
        return result;
    }
    return ReadMeshBytes(bytes.str(), format, path);
}

}  // namespace vorlane
