#include "io/gltf_writer.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <thread>
#include <vector>

#include "base/huge_pages.h"
#include "base/two_halves.h"
#include "files/output_file.h"
#include "io/gltf_compress.h"
#include "io/gltf_document.h"
#include "io/gltf_targets.h"
#include "io/morph_end_error.h"
#include "io/morph_normals.h"
#include "io/morph_triangles.h"

namespace vorlane {

namespace {

using gltf::ArrayBuffer;
using gltf::ElementArrayBuffer;
using gltf::Float;
using gltf::UnsignedInt;
constexpr uint64_t GlbLimit = 0xffffffffu;
const char* const Base64Marker = "@vorlane-base64@";


// Runs work on its own thread when asked, else at once, and at once too
// when no thread can be had; joins at the latest when it goes, so no early
// return leaves the thread running.
class Background {
public:
    template <class F>
    Background(bool threaded, F&& work)
    {
        Start(threaded, std::forward<F>(work));
    }
    ~Background() { Join(); }
    template <class F>
    void Start(bool threaded, F&& work)
    {
        Join();
        if (!threaded) return work();
        thread_ = StartOrRun(std::forward<F>(work));
    }
    void Join()
    {
        if (thread_.joinable()) thread_.join();
    }

private:
    std::thread thread_;
};

// Everything of the file but its JSON, in the order of its views.
struct GltfArrays {
    MorphIndices indices;
    std::vector<Vec3> startCopy, endCopy;  // only when some vertex goes unused
    const Vec3* start = nullptr;
    const Vec3* end = nullptr;
    std::vector<Vec3> offsets;
    std::vector<Vec3> startNormals;
    std::vector<Vec3> endNormals;
    std::vector<Vec3> normalOffsets;
    // start and end (and their normals) hold the end and the start: the file's base is the end.
    bool reversed = false;
};

void MakeNormals(const MorphMesh& mesh, GltfArrays& arrays, bool keepEnd)
{
    const MorphIndices& ix = arrays.indices;
    const bool located = mesh.source && mesh.target && mesh.startLocations.size() == mesh.startPositions.size() &&
                         mesh.endLocations.size() == mesh.endPositions.size();
    if (located) {
        arrays.startNormals = InputSurfaceNormals(*mesh.source, mesh.startLocations, ix.vertices, ix.vertexCount);
        arrays.endNormals = InputSurfaceNormals(*mesh.target, mesh.endLocations, ix.vertices, ix.vertexCount);
    } else {
        arrays.startNormals = AreaWeightedNormals(mesh.startPositions, ix.vertices, ix.vertexCount, ix.corners);
        arrays.endNormals = AreaWeightedNormals(mesh.endPositions, ix.vertices, ix.vertexCount, ix.corners);
    }
    if (arrays.reversed) std::swap(arrays.startNormals, arrays.endNormals);
    arrays.normalOffsets.resize(ix.vertexCount);
    for (std::size_t i = 0; i < ix.vertexCount; ++i) {
        const Vec3& a = arrays.startNormals[i];
        const Vec3& b = arrays.endNormals[i];
        arrays.normalOffsets[i] = Vec3{b.x - a.x, b.y - a.y, b.z - a.z};
    }
    if (!keepEnd) Release(arrays.endNormals);
}

std::string OffsetProblem(std::size_t vertex, const double* d)
{
    char text[200];
    std::snprintf(text, sizeof text, "vertex %zu moves by (%g, %g, %g) from start to end, which is no finite float", vertex, d[0], d[1], d[2]);
    return text;
}

// End minus start in double, so a float overflow shows instead of landing
// in the file as an infinity; empty or why it cannot be written.
std::string MakeOffsets(GltfArrays& arrays)
{
    // note: doubles below this round to a finite float, the rest to infinity.
    const double limit = std::ldexp(1.0, 128) - std::ldexp(1.0, 103);
    const std::size_t count = arrays.indices.vertexCount;
    arrays.offsets.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        const Vec3& a = arrays.start[i];
        const Vec3& b = arrays.end[i];
        const double d[3] = {static_cast<double>(b.x) - a.x, static_cast<double>(b.y) - a.y, static_cast<double>(b.z) - a.z};
        for (double c : d) {
            if (!(std::fabs(c) < limit)) return OffsetProblem(i, d);
        }
        arrays.offsets[i] = Vec3{static_cast<float>(d[0]), static_cast<float>(d[1]), static_cast<float>(d[2])};
    }
    return {};
}

// The layout of the uncompressed file; normals are written later, from
// arrays, once made.
GltfDocument PlainDocument(const GltfArrays& arrays, std::vector<GltfPiece>& pieces, int middleTargets)
{
    const uint64_t n = arrays.indices.vertexCount;
    const uint64_t vectors = n * sizeof(Vec3);
    GltfDocument document;
    AddPlain(document, arrays.indices.corners.size() * 4, ElementArrayBuffer, UnsignedInt, arrays.indices.corners.size(), "SCALAR");
    AddPlain(document, vectors, ArrayBuffer, Float, n, "VEC3");
    FloatBounds(arrays.start, n, document.accessors.back());
    AddPlain(document, vectors, ArrayBuffer, Float, n, "VEC3");
    AddPlain(document, vectors, ArrayBuffer, Float, n, "VEC3");
    FloatBounds(arrays.offsets.data(), n, document.accessors.back());
    AddPlain(document, vectors, ArrayBuffer, Float, n, "VEC3");
    pieces.push_back({arrays.indices.corners.data(), arrays.indices.corners.size() * 4});
    pieces.push_back({arrays.start, vectors});
    pieces.push_back({nullptr, vectors});  // normals
    pieces.push_back({arrays.offsets.data(), vectors});
    pieces.push_back({nullptr, vectors});  // normal offsets
    document.middleTargets = middleTargets;
    document.reversed = arrays.reversed;
    AddAnimation(document, pieces);
    return document;
}

uint64_t Padded(uint64_t bytes) { return (bytes + 3) / 4 * 4; }

// Writes pieces to a file, and as base64 when asked.
class Sink {
public:
    Sink(std::FILE* file, bool base64) : file_(file), base64_(base64) {}

    void Write(const void* data, uint64_t bytes)
    {
        if (!base64_) {
            if (bytes > 0 && std::fwrite(data, 1, bytes, file_) != bytes) failed_ = true;
            return;
        }
        const unsigned char* p = static_cast<const unsigned char*>(data);
        for (uint64_t i = 0; i < bytes; ++i) {
            carry_[carried_++] = p[i];
            if (carried_ == 3) Emit(3);
        }
    }

    // The last one or two bytes of base64 data, padded with '='.
    void Finish()
    {
        if (base64_ && carried_ > 0) Emit(carried_);
        Flush();
    }

    void Text(const std::string& text)
    {
        Flush();
        if (std::fwrite(text.data(), 1, text.size(), file_) != text.size()) failed_ = true;
    }

    bool Failed() const { return failed_; }

private:
    void Emit(int n)
    {
        static const char* const digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        for (int i = n; i < 3; ++i) carry_[i] = 0;
        const unsigned v = static_cast<unsigned>(carry_[0]) << 16 | static_cast<unsigned>(carry_[1]) << 8 | carry_[2];
        char out[4] = {digits[v >> 18 & 63], digits[v >> 12 & 63], digits[v >> 6 & 63], digits[v & 63]};
        for (int i = n + 1; i < 4; ++i) out[i] = '=';
        text_.append(out, 4);
        carried_ = 0;
        if (text_.size() >= (1u << 16)) Flush();
    }

    void Flush()
    {
        if (!text_.empty() && std::fwrite(text_.data(), 1, text_.size(), file_) != text_.size()) failed_ = true;
        text_.clear();
    }

    std::FILE* file_;
    bool base64_;
    bool failed_ = false;
    unsigned char carry_[3] = {0, 0, 0};
    int carried_ = 0;
    std::string text_;
};

void PutU32(Sink& sink, uint64_t value)
{
    const unsigned char bytes[4] = {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
                                    static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
    sink.Write(bytes, 4);
}

// Writes the pieces, each padded to four bytes, waiting for ready before
// the first piece without data or fill (the normals, made meanwhile). A
// piece made by fill is made a stretch at a time, the next stretch on a
// second thread while this one is written when threaded.
void WritePieces(Sink& sink, const std::vector<GltfPiece>& pieces, Background& ready, const GltfArrays& arrays, bool threaded)
{
    static const unsigned char zeros[4] = {0, 0, 0, 0};
    constexpr std::size_t Stretch = std::size_t{4} << 20;
    std::vector<unsigned char> buffer;
    int unmade = 0;
    for (const GltfPiece& piece : pieces) {
        if (piece.fill) {
            const std::size_t items = piece.bytes / piece.itemBytes;
            const std::size_t step = std::max<std::size_t>(1, Stretch / piece.itemBytes);
            for (std::size_t first = 0; first < items; first += step) {
                // note: making a stretch (normals, mostly) takes several times
                // as long as writing it, so both cores make each one.
                const std::size_t count = std::min(step, items - first), half = count / 2;
                buffer.resize(count * piece.itemBytes);
                BothAtOnce(threaded && half > 0, [&] { piece.fill(first, half, buffer.data()); },
                           [&] { piece.fill(first + half, count - half, buffer.data() + half * piece.itemBytes); });
                sink.Write(buffer.data(), buffer.size());
            }
        } else {
            const void* data = piece.data;
            if (!data) {
                ready.Join();
                data = unmade++ == 0 ? static_cast<const void*>(arrays.startNormals.data()) : arrays.normalOffsets.data();
            }
            sink.Write(data, piece.bytes);
        }
        sink.Write(zeros, Padded(piece.bytes) - piece.bytes);
    }
}

// The robust merge's usual mesh: triangles only, every vertex in use, and
// locations for normals. Its arrays need not be held: each view is made a
// stretch at a time as it is written.
bool Streamable(const MorphMesh& mesh)
{
    if (!mesh.source || !mesh.target || mesh.startLocations.size() != mesh.startPositions.size() ||
        mesh.endLocations.size() != mesh.endPositions.size())
        return false;
    std::vector<char> used(mesh.startPositions.size(), 0);
    for (const MeshFace& face : mesh.faces) {
        if (face.indices.size() != 3) return false;
        for (int32_t corner : face.indices) used[static_cast<std::size_t>(corner)] = 1;
    }
    return std::find(used.begin(), used.end(), 0) == used.end();
}

// Bounds of end minus start, as MakeOffsets makes them, without keeping
// them; empty or why they cannot be written.
std::string OffsetBounds(const Vec3* start, const Vec3* end, std::size_t count, GltfAccessor& accessor)
{
    const double limit = std::ldexp(1.0, 128) - std::ldexp(1.0, 103);
    accessor.min.assign(3, std::numeric_limits<double>::infinity());
    accessor.max.assign(3, -std::numeric_limits<double>::infinity());
    for (std::size_t i = 0; i < count; ++i) {
        const double d[3] = {static_cast<double>(end[i].x) - start[i].x, static_cast<double>(end[i].y) - start[i].y,
                             static_cast<double>(end[i].z) - start[i].z};
        for (std::size_t k = 0; k < 3; ++k) {
            if (!(std::fabs(d[k]) < limit)) return OffsetProblem(i, d);
            const double rounded = static_cast<float>(d[k]);
            accessor.min[k] = std::min(accessor.min[k], rounded);
            accessor.max[k] = std::max(accessor.max[k], rounded);
        }
    }
    return {};
}

// The layout and makers of the streamed file: the same bytes as
// PlainDocument's from arrays.
GltfDocument StreamedDocument(const MorphMesh& mesh, const SurfaceNormals& atStart, const SurfaceNormals& atEnd, std::vector<GltfPiece>& pieces,
                              std::string& problem, int middleTargets)
{
    const std::size_t n = mesh.startPositions.size();
    const uint64_t vectors = n * sizeof(Vec3);
    const uint64_t corners = mesh.faces.size() * 3;
    GltfDocument document;
    AddPlain(document, corners * 4, ElementArrayBuffer, UnsignedInt, corners, "SCALAR");
    AddPlain(document, vectors, ArrayBuffer, Float, n, "VEC3");
    FloatBounds(mesh.startPositions.data(), n, document.accessors.back());
    AddPlain(document, vectors, ArrayBuffer, Float, n, "VEC3");
    AddPlain(document, vectors, ArrayBuffer, Float, n, "VEC3");
    problem = OffsetBounds(mesh.startPositions.data(), mesh.endPositions.data(), n, document.accessors.back());
    AddPlain(document, vectors, ArrayBuffer, Float, n, "VEC3");
    pieces.push_back({nullptr, corners * 4, [&mesh](std::size_t first, std::size_t count, unsigned char* out) {
                          uint32_t* c = reinterpret_cast<uint32_t*>(out);
                          for (std::size_t t = first; t < first + count; ++t)
                              for (int32_t corner : mesh.faces[t].indices) *c++ = static_cast<uint32_t>(corner);
                      }, 12});
    pieces.push_back({mesh.startPositions.data(), vectors});
    auto vectorsOf = [](auto item) {
        return [item](std::size_t first, std::size_t count, unsigned char* out) {
            Vec3* v = reinterpret_cast<Vec3*>(out);
            for (std::size_t i = first; i < first + count; ++i) *v++ = item(i);
        };
    };
    const MorphMesh* m = &mesh;
    pieces.push_back({nullptr, vectors, vectorsOf([m, &atStart](std::size_t i) { return atStart.At(m->startLocations[i]); }), sizeof(Vec3)});
    pieces.push_back({nullptr, vectors, vectorsOf([m](std::size_t i) {
                          const Vec3& a = m->startPositions[i];
                          const Vec3& b = m->endPositions[i];
                          return Vec3{static_cast<float>(static_cast<double>(b.x) - a.x), static_cast<float>(static_cast<double>(b.y) - a.y),
                                      static_cast<float>(static_cast<double>(b.z) - a.z)};
                      }),
                      sizeof(Vec3)});
    pieces.push_back({nullptr, vectors, vectorsOf([m, &atStart, &atEnd](std::size_t i) {
                          const Vec3 a = atStart.At(m->startLocations[i]);
                          const Vec3 b = atEnd.At(m->endLocations[i]);
                          return Vec3{b.x - a.x, b.y - a.y, b.z - a.z};
                      }),
                      sizeof(Vec3)});
    document.middleTargets = middleTargets;
    AddAnimation(document, pieces);
    return document;
}

}  // namespace

uint64_t MorphBinaryBytes(uint64_t vertexCount, uint64_t triangleCount)
{
    return triangleCount * 3 * 4 + vertexCount * 4 * sizeof(Vec3) + 6 * sizeof(float);
}

std::string GlbSizeProblem(uint64_t jsonBytes, uint64_t binaryBytes)
{
    const uint64_t total = 12 + 8 + Padded(jsonBytes) + (binaryBytes > 0 ? 8 + Padded(binaryBytes) : 0);
    if (total <= GlbLimit) return {};
    return "the morph needs " + std::to_string(total) + " bytes, over the 4 GiB (4294967295 bytes) a .glb can hold; write .gltf or --compress";
}

bool GltfContainerOfPath(const std::string& path, GltfContainer& container)
{
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == ".glb") container = GltfContainer::Binary;
    else if (extension == ".gltf") container = GltfContainer::Text;
    else return false;
    return true;
}

std::string WriteGltfMorph(const MorphMesh& mesh, const std::string& path, GltfContainer container, const GltfOptions& options)
{
    if (mesh.faces.empty()) return path + ": nothing to write: the mesh has no faces";
    const int middleCount = options.middles ? static_cast<int>(options.middles->size()) : 0;
    // note: in-betweens need the base's normals held, which streaming does not keep.
    bool streamed = !options.compress && middleCount == 0 && Streamable(mesh);
    // A float offset holds the end only as well as float holds what it adds
    // to: where the start cannot carry the end, the end is the base.
    ShownEnd shown;
    bool reversed = false;
    auto chooseBase = [&](std::size_t triangles, const auto& cornerOf, const Vec3* start, const Vec3* end, std::size_t count) {
        shown = ShowEnd(triangles, cornerOf, start, end, count);
        if (shown.held) return;
        ShownEnd back = ShowEnd(triangles, cornerOf, end, start, count);
        if (!back.held) return;
        shown = back;
        reversed = true;
    };
    if (streamed) {
        chooseBase(
            mesh.faces.size(), [&mesh](std::size_t t) { return mesh.faces[t].indices.begin(); },
            mesh.startPositions.data(), mesh.endPositions.data(), mesh.startPositions.size());
        streamed = !reversed;
    }
    GltfArrays arrays;
    std::vector<GltfPiece> pieces;
    GltfDocument document;
    EncodedMorph encoded;
    MiddleTargets middles;
    ColourTargets colourTargets;
    std::unique_ptr<SurfaceNormals> atStart, atEnd;
    Background normals(false, [] {});
    if (streamed) {
        BothAtOnce(options.threads > 1, [&] { atStart = std::make_unique<SurfaceNormals>(*mesh.source); },
                   [&] { atEnd = std::make_unique<SurfaceNormals>(*mesh.target); });
        std::string problem;
        document = StreamedDocument(mesh, *atStart, *atEnd, pieces, problem, 0);
        if (!problem.empty()) return path + ": " + problem;
    } else {
        arrays.indices = CollectMorphIndices(mesh);
        if (arrays.indices.corners.empty()) return path + ": nothing to write: the mesh has no faces";
        if (arrays.indices.vertices.empty()) {
            arrays.start = mesh.startPositions.data();
            arrays.end = mesh.endPositions.data();
        } else {
            for (int32_t v : arrays.indices.vertices) {
                arrays.startCopy.push_back(mesh.startPositions[static_cast<std::size_t>(v)]);
                arrays.endCopy.push_back(mesh.endPositions[static_cast<std::size_t>(v)]);
            }
            arrays.start = arrays.startCopy.data();
            arrays.end = arrays.endCopy.data();
        }
        if (!options.compress && !reversed) {
            const std::vector<uint32_t>& corners = arrays.indices.corners;
            chooseBase(
                corners.size() / 3, [&corners](std::size_t t) { return corners.data() + 3 * t; },
                arrays.start, arrays.end, arrays.indices.vertexCount);
        }
        if (reversed) {
            std::swap(arrays.start, arrays.end);
            arrays.reversed = true;
        }
        normals.Start(options.threads > 1, [&] { MakeNormals(mesh, arrays, options.compress); });
        const std::string offsetProblem = MakeOffsets(arrays);
        if (!offsetProblem.empty()) return path + ": " + offsetProblem;
        if (options.compress) {
            normals.Join();
            encoded = EncodeMorph(arrays.indices.corners, arrays.start, arrays.end, arrays.startNormals, arrays.endNormals);
            document = std::move(encoded.document);
            shown = ShownEnd{};
            shown.error = encoded.endError;
            pieces = encoded.pieces;
            document.middleTargets = middleCount;
            AddAnimation(document, pieces);
            if (middleCount > 0) {
                std::vector<std::vector<Vec3>> used, usedNormals;
                for (const std::vector<Vec3>& middle : *options.middles) {
                    usedNormals.push_back(AreaWeightedNormals(middle, arrays.indices.vertices, arrays.indices.vertexCount, arrays.indices.corners));
                    used.push_back(UsedOnly(middle, arrays.indices));
                }
                EncodeMiddles(encoded, used, usedNormals, document, pieces);
            }
        } else {
            document = PlainDocument(arrays, pieces, middleCount);
            if (middleCount > 0) {
                normals.Join();
                middles = MakeMiddles(*options.middles, arrays.start, arrays.startNormals, arrays.indices);
                AddMiddles(document, pieces, middles);
            }
        }
    }
    if (options.colours && !options.colours->empty()) {
        const std::size_t used = streamed ? mesh.startPositions.size() : arrays.indices.vertexCount;
        AddColours(document, pieces, *options.colours, streamed ? std::vector<int32_t>{} : arrays.indices.vertices, used,
                   colourTargets);
    }
    const bool text = container == GltfContainer::Text;
    if (text) document.uri = std::string("data:application/octet-stream;base64,") + Base64Marker;
    const std::string json = GltfJson(document);
    if (!text) {
        const std::string tooBig = GlbSizeProblem(json.size(), document.binaryLength);
        if (!tooBig.empty()) return path + ": " + tooBig;
    }
    const bool threaded = options.threads > 1;
    const std::string written = WriteFileAtomically(path, [&](std::FILE* file) -> std::string {
        Sink sink(file, false);
        bool failed = false;
        if (text) {
            const std::size_t marker = json.find(Base64Marker);
            sink.Text(json.substr(0, marker));
            Sink base64(file, true);
            WritePieces(base64, pieces, normals, arrays, threaded);
            base64.Finish();
            failed = base64.Failed();
            sink.Text(json.substr(marker + std::strlen(Base64Marker)) + "\n");
        } else {
            const uint64_t jsonPadded = Padded(json.size());
            const uint64_t binary = Padded(document.binaryLength);
            sink.Write("glTF", 4);
            PutU32(sink, 2);
            PutU32(sink, 12 + 8 + jsonPadded + 8 + binary);
            PutU32(sink, jsonPadded);
            sink.Write("JSON", 4);
            sink.Text(json + std::string(jsonPadded - json.size(), ' '));
            PutU32(sink, binary);
            sink.Write("BIN\0", 4);
            WritePieces(sink, pieces, normals, arrays, threaded);
        }
        failed = failed || sink.Failed();
        if (failed) return std::string("cannot write the glTF data: ") + std::strerror(errno);
        return {};
    });
    if (written.empty() && options.warning) *options.warning = EndWarning(path, shown);
    return written;
}

}  // namespace vorlane
