// OBJ through OpenMesh's reader: its handling of texture and normal corners,
// relative indices and its own refusals are kept as they are; the file is
// checked and cleaned first for what that reader gets wrong.
#include <OpenMesh/Core/IO/importer/BaseImporter.hh>
#include <OpenMesh/Core/IO/reader/OBJReader.hh>
#include <OpenMesh/Core/System/omstream.hh>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "io/mesh_reader_internal.h"
#include "io/obj_materials.h"

namespace vorlane::mesh_reading {

namespace {

using OpenMesh::FaceHandle;
using OpenMesh::HalfedgeHandle;
using OpenMesh::VertexHandle;

// Collects what a reader finds, as it finds it; no halfedge structure, so a
// non-manifold or badly wound file loses nothing here.
class TableImporter final : public OpenMesh::IO::BaseImporter {
public:
    FaceList faces;

    VertexHandle add_vertex(const OpenMesh::Vec3f& p) override
    {
        return AddPoint(Vec3{p[0], p[1], p[2]});
    }
    VertexHandle add_vertex(const OpenMesh::Vec3d& p) override
    {
        return AddPoint(Vec3{ToFloat(p[0]), ToFloat(p[1]), ToFloat(p[2])});
    }
    VertexHandle add_vertex() override { return AddPoint(Vec3{}); }
    void set_point(VertexHandle v, const OpenMesh::Vec3f& p) override
    {
        if (v.idx() < 0 || static_cast<std::size_t>(v.idx()) >= faces.points.size()) return;
        faces.points[static_cast<std::size_t>(v.idx())] = Vec3{p[0], p[1], p[2]};
    }

    FaceHandle add_face(const VHandles& handles) override
    {
        if (faces.faceStarts.size() >= static_cast<std::size_t>(std::numeric_limits<int32_t>::max()))
            throw ReadFailure("more faces than a mesh can hold");
        faces.AddFace();
        for (const VertexHandle& v : handles) faces.corners.push_back(v.idx());
        return FaceHandle(static_cast<int>(faces.faceStarts.size() - 1));
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
    // note: "v x y z r g b" gives the colour as 0..1 floats, or bytes where above 1.
    void set_color(VertexHandle v, const OpenMesh::Vec3uc& c) override { Colour(v, c[0] / 255.0f, c[1] / 255.0f, c[2] / 255.0f); }
    void set_color(VertexHandle v, const OpenMesh::Vec4uc& c) override { Colour(v, c[0] / 255.0f, c[1] / 255.0f, c[2] / 255.0f); }
    void set_color(VertexHandle v, const OpenMesh::Vec3f& c) override { Colour(v, c[0], c[1], c[2]); }
    void set_color(VertexHandle v, const OpenMesh::Vec4f& c) override { Colour(v, c[0], c[1], c[2]); }
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

    size_t n_vertices() const override { return faces.points.size(); }
    size_t n_faces() const override { return faces.faceStarts.size(); }
    size_t n_edges() const override { return 0; }

    std::vector<Vec3> colours;  // by point, where some vertex gave one

private:
    void Colour(VertexHandle v, float r, float g, float b)
    {
        const auto index = static_cast<std::size_t>(v.idx());
        if (v.idx() < 0 || index >= faces.points.size()) return;
        if (colours.size() < faces.points.size()) colours.resize(faces.points.size(), Vec3{1.0f, 1.0f, 1.0f});
        const auto fraction = [](float c) { return std::isfinite(c) ? std::clamp(c, 0.0f, 1.0f) : 1.0f; };
        colours[index] = {fraction(r), fraction(g), fraction(b)};
    }

    VertexHandle AddPoint(const Vec3& p)
    {
        if (faces.points.size() >= static_cast<std::size_t>(std::numeric_limits<int32_t>::max()))
            throw ReadFailure("more vertices than a mesh can hold");
        faces.points.push_back(p);
        return VertexHandle(static_cast<int>(faces.points.size() - 1));
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

// One face corner: v, v/t, v//n or v/t/n, each an integer, v not empty.
bool IsObjCorner(std::string_view token)
{
    std::size_t part = 0;
    std::size_t i = 0;
    while (part < 3) {
        std::size_t start = i;
        if (i < token.size() && (token[i] == '-' || token[i] == '+')) ++i;
        const std::size_t digits = i;
        while (i < token.size() && token[i] >= '0' && token[i] <= '9') ++i;
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

// A mtllib or usemtl line noted: the whole rest of the line is one name.
void NotePaint(std::string_view text, std::string_view keyword, ObjPaintLines& paint)
{
    std::string_view name = text.substr(text.find(keyword) + keyword.size());
    while (!name.empty() && IsBlank(name.front())) name.remove_prefix(1);
    while (!name.empty() && (IsBlank(name.back()) || name.back() == '\r')) name.remove_suffix(1);
    if (name.empty()) return;
    if (keyword == "mtllib") {
        if (std::find(paint.libraries.begin(), paint.libraries.end(), name) == paint.libraries.end())
            paint.libraries.emplace_back(name);
        return;
    }
    const auto known = std::find(paint.names.begin(), paint.names.end(), name);
    paint.current = static_cast<int32_t>(known - paint.names.begin());
    if (known == paint.names.end()) paint.names.emplace_back(name);
}

// The OBJ reader drops a vertex whose coordinates do not parse, which shifts
// every later index, reads corners after an inline comment, and opens any
// file a "mtllib" line names. Checked and cleaned here first, the lines of
// materials noted in paint for our own reading of them.
std::string PrepareObj(std::string_view bytes, const ReadMeter& progress, ObjPaintLines& paint)
{
    std::size_t vertices = 0;
    // note: a UTF-8 byte-order mark would glue itself to the first keyword,
    // and the reader would drop that line without a word.
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    std::string cleaned;
    cleaned.reserve(bytes.size() + 1);
    LineCursor lines(bytes);
    std::string_view line;
    std::vector<std::string_view> tokens;
    float ignored = 0.0f;
    while (lines.Next(line)) {
        if ((lines.Number() & 0xFFFF) == 0) progress.Report("checking OBJ", lines.Fraction());
        std::string_view text = WithoutComment(line);
        SplitTokens(text, tokens);
        if (!tokens.empty() && (tokens[0] == "mtllib" || tokens[0] == "usemtl")) {
            NotePaint(text, tokens[0], paint);
            text = {};
        }
        if (!tokens.empty() && tokens[0] == "v") {
            if (tokens.size() < 4 || !ParseFiniteFloat(tokens[1], ignored) || !ParseFiniteFloat(tokens[2], ignored) ||
                !ParseFiniteFloat(tokens[3], ignored))
                throw ReadFailure(AtLine(lines.Number()) + "a vertex needs three finite coordinates");
            ++vertices;
        }
        if (!tokens.empty() && tokens[0] == "vt") {
            float u = 0.0f, v = 0.0f;
            if (tokens.size() < 2 || !ParseFiniteFloat(tokens[1], u)) u = 0.0f;
            if (tokens.size() < 3 || !ParseFiniteFloat(tokens[2], v)) v = 0.0f;
            paint.texcoords.push_back({u, v});
        }
        if (!tokens.empty() && tokens[0] == "f") {
            for (std::size_t i = 1; i < tokens.size(); ++i) {
                if (!IsObjCorner(tokens[i]))
                    throw ReadFailure(AtLine(lines.Number()) + "face corner " + Shown(tokens[i]) +
                                      " is not a vertex index");
            }
            NoteObjFace(std::vector<std::string_view>(tokens.begin() + 1, tokens.end()), vertices, paint);
        }
        cleaned.append(text.data(), text.size());
        cleaned += '\n';
    }
    return cleaned;
}

}  // namespace

ModelTable ReadObj(std::string_view bytes, const ReadMeter& progress, const std::optional<std::string>& folder,
                   std::vector<int32_t>* renumbered, std::vector<Vec3>& colours, std::vector<std::string>& warnings)
{
    ObjPaintLines paint;
    const std::string text = PrepareObj(bytes, progress, paint);
    progress.Report("reading OBJ", 0.0);
    MessageCapture messages;
    TableImporter importer;
    std::istringstream in(text, std::ios::in | std::ios::binary);
    OpenMesh::IO::Options options(OpenMesh::IO::Options::VertexColor);
    if (!OpenMesh::IO::OBJReader().read(in, importer, options)) {
        const std::string message = messages.FirstMessage();
        throw ReadFailure(message.empty() ? "the reader refused the file"
                                          : "the reader refused the file: " + Escaped(message));
    }
    std::vector<int32_t> slots;
    ModelTable table = BuildTable(importer.faces, 1, progress, &slots);
    const ObjMaterials materials = ReadObjMaterials(paint, folder, warnings);
    const std::vector<Vec3> painted = ObjPointColours(paint, materials, importer.faces.corners, importer.faces.faceStarts,
                                                      importer.faces.points.size(), importer.colours);
    if (!painted.empty()) {
        colours.assign(table.vertices.size(), Vec3{});
        for (std::size_t p = 0; p < slots.size(); ++p)
            if (slots[p] >= 0) colours[static_cast<std::size_t>(slots[p])] = painted[p];
    } else if (!importer.colours.empty()) {
        importer.colours.resize(importer.faces.points.size(), Vec3{1.0f, 1.0f, 1.0f});
        colours.assign(table.vertices.size(), Vec3{});
        for (std::size_t p = 0; p < slots.size(); ++p)
            if (slots[p] >= 0) colours[static_cast<std::size_t>(slots[p])] = importer.colours[p];
    }
    if (renumbered) *renumbered = std::move(slots);
    return table;
}

}  // namespace vorlane::mesh_reading
