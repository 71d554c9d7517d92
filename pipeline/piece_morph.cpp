#include "pipeline/piece_morph.h"

#include <algorithm>
#include <cstddef>
#include <memory>
#include <string>
#include <utility>

#include "merge/common_patches.h"
#include "pipeline/morph_colours.h"
#include "prepare/pair_pieces.h"

namespace vorlane {

namespace {

Vec3 InTable(const Polyhedron& model, std::size_t v)
{
    return Add(model.vertices[v], model.centre);
}

PieceBox BoxOf(const Polyhedron& model)
{
    PieceBox box{InTable(model, 0), InTable(model, 0)};
    for (std::size_t v = 1; v < model.vertices.size(); ++v) {
        const Vec3 p = InTable(model, v);
        box.low = {std::min(box.low.x, p.x), std::min(box.low.y, p.y), std::min(box.low.z, p.z)};
        box.high = {std::max(box.high.x, p.x), std::max(box.high.y, p.y), std::max(box.high.z, p.z)};
    }
    return box;
}

// A shape's pieces as one model about the origin, with where each begins.
struct JoinedShape {
    Polyhedron model;
    std::vector<Vec3> colours;
    std::vector<int32_t> firstFace;
    std::vector<PieceBox> boxes;
};

JoinedShape Join(const ShapePieces& shape)
{
    JoinedShape joined;
    bool coloured = true;
    for (std::size_t p = 0; p < shape.pieces.size(); ++p) {
        const Polyhedron& piece = shape.pieces[p];
        const auto base = static_cast<int32_t>(joined.model.vertices.size());
        joined.firstFace.push_back(joined.model.faceCount());
        joined.boxes.push_back(BoxOf(piece));
        for (std::size_t v = 0; v < piece.vertices.size(); ++v) joined.model.vertices.push_back(InTable(piece, v));
        joined.model.spherePoints.insert(joined.model.spherePoints.end(), piece.spherePoints.begin(), piece.spherePoints.end());
        for (const Triangle& f : piece.faces) joined.model.faces.push_back({f[0] + base, f[1] + base, f[2] + base});
        for (const IndexPair& e : piece.edges) joined.model.edges.push_back({e.from + base, e.to + base});
        if (piece.map == SphereMap::Spherical) joined.model.map = SphereMap::Spherical;
        const bool has = p < shape.colours.size() && shape.colours[p].size() == piece.vertices.size();
        coloured = coloured && has;
        if (has) joined.colours.insert(joined.colours.end(), shape.colours[p].begin(), shape.colours[p].end());
    }
    if (!coloured) joined.colours.clear();
    return joined;
}

// A location at corner `vertex` of some triangle of model holding it.
std::vector<SurfaceLocation> AtCorners(const Polyhedron& model)
{
    std::vector<SurfaceLocation> at(model.vertices.size());
    for (std::size_t t = model.faces.size(); t-- > 0;)
        for (std::size_t k = 0; k < 3; ++k) {
            SurfaceLocation& l = at[static_cast<std::size_t>(model.faces[t][k])];
            l.triangle = static_cast<int32_t>(t);
            l.weights[0] = l.weights[1] = l.weights[2] = 0.0;
            l.weights[k] = 1.0;
        }
    return at;
}

// The vertex of model nearest place, the lowest on a tie.
int32_t NearestVertex(const Polyhedron& model, const Vec3& place)
{
    int32_t best = 0;
    double bestDistance = -1.0;
    for (std::size_t v = 0; v < model.vertices.size(); ++v) {
        const Vec3 p = InTable(model, v);
        const double dx = double{p.x} - place.x, dy = double{p.y} - place.y, dz = double{p.z} - place.z;
        const double d = dx * dx + dy * dy + dz * dz;
        if (bestDistance < 0.0 || d < bestDistance) best = static_cast<int32_t>(v), bestDistance = d;
    }
    return best;
}

// piece shrinking onto vertex `at` of other (or growing from it): locations on piece's and other's own triangles.
MorphMesh PointMorph(const Polyhedron& piece, const Polyhedron& other, int32_t at, bool shrinks)
{
    MorphMesh mesh;
    mesh.centre = SphereCentre;
    const std::size_t n = piece.vertices.size();
    std::vector<Vec3> own(n);
    for (std::size_t v = 0; v < n; ++v) own[v] = InTable(piece, v);
    const std::vector<Vec3> point(n, InTable(other, static_cast<std::size_t>(at)));
    const std::vector<SurfaceLocation> ownAt = AtCorners(piece);
    const std::vector<SurfaceLocation> pointAt(n, AtCorners(other)[static_cast<std::size_t>(at)]);
    mesh.startPositions = shrinks ? own : point;
    mesh.endPositions = shrinks ? point : own;
    mesh.startLocations = shrinks ? ownAt : pointAt;
    mesh.endLocations = shrinks ? pointAt : ownAt;
    mesh.edges = piece.edges;
    for (const Triangle& f : piece.faces) mesh.faces.push_back({3, FaceIndices(f[0], f[1], f[2])});
    return mesh;
}

void Offset(std::vector<SurfaceLocation>& into, const std::vector<SurfaceLocation>& from, int32_t faces)
{
    for (SurfaceLocation l : from) {
        if (l.triangle >= 0) l.triangle += faces;
        into.push_back(l);
    }
}

// Appends part to whole, its locations on the joined shapes' triangles.
void Append(MorphMesh& whole, const MorphMesh& part, int32_t sourceFaces, int32_t targetFaces)
{
    const int32_t base = whole.vertexCount();
    whole.crossingCount += part.crossingCount;
    whole.startPositions.insert(whole.startPositions.end(), part.startPositions.begin(), part.startPositions.end());
    whole.endPositions.insert(whole.endPositions.end(), part.endPositions.begin(), part.endPositions.end());
    Offset(whole.startLocations, part.startLocations, sourceFaces);
    Offset(whole.endLocations, part.endLocations, targetFaces);
    for (const IndexPair& e : part.edges) whole.edges.push_back({e.from + base, e.to + base});
    for (MeshFace f : part.faces) {
        for (int32_t& corner : f.indices) corner += base;
        whole.faces.push_back(std::move(f));
    }
}

std::string PairName(const MorphRequest& request, int32_t s, int32_t t)
{
    return "the merge of " + request.source + " (piece " + std::to_string(s) + ") and " + request.target + " (piece " +
           std::to_string(t) + ")";
}

Vec3 Middle(const PieceBox& box)
{
    return {box.low.x / 2 + box.high.x / 2, box.low.y / 2 + box.high.y / 2, box.low.z / 2 + box.high.z / 2};
}

// Simplifies each merged pair, maxTriangles shared among the pairs by their
// triangles, less the pieces alone's, which stay as they are.
void Simplify(std::vector<MorphMesh>& merged, const MorphRequest& request, const PiecePairing& pairing, const ShapePieces& source,
              const ShapePieces& target, MorphJob& job)
{
    int64_t pairedTriangles = 0, aloneTriangles = 0;
    for (const MorphMesh& m : merged) pairedTriangles += m.faceCount();
    for (const auto& alone : pairing.sourceAlone) aloneTriangles += source.pieces[static_cast<std::size_t>(alone.first)].faceCount();
    for (const auto& alone : pairing.targetAlone) aloneTriangles += target.pieces[static_cast<std::size_t>(alone.first)].faceCount();
    SimplifyReport& total = job.simplified;
    total.startDistance = total.endDistance = 0.0;
    for (std::size_t k = 0; k < merged.size(); ++k) {
        SimplifyOptions options = request.simplify;
        if (options.maxTriangles) {
            const int64_t budget = std::max<int64_t>(0, *options.maxTriangles - aloneTriangles);
            options.maxTriangles = static_cast<int64_t>(static_cast<double>(budget) * merged[k].faceCount() /
                                                        static_cast<double>(std::max<int64_t>(1, pairedTriangles)));
        }
        const SimplifyReport report = SimplifyMorph(merged[k], options);
        if (!report.error.empty()) {
            const auto [i, j] = pairing.pairs[k];
            job.error = PairName(request, i, j) + " cannot be simplified: " + report.error;
            return;
        }
        total.trianglesBefore += report.trianglesBefore;
        total.trianglesAfter += report.trianglesAfter;
        total.startDistance = std::max(total.startDistance, report.startDistance);
        total.endDistance = std::max(total.endDistance, report.endDistance);
    }
    total.trianglesBefore += aloneTriangles;
    total.trianglesAfter += aloneTriangles;
}

}  // namespace

void MorphPieces(const ShapePieces& source, const ShapePieces& target, const MorphRequest& request, MorphJob& job,
                 const Progress& progress)
{
    JoinedShape s = Join(source), t = Join(target);
    const PiecePairing pairing = PairPieces(s.boxes, t.boxes);
    job.sourceMap = s.model.map;
    job.targetMap = t.model.map;

    // note: each pair's models are turned by the alignment, so the merge gets copies that outlive it.
    std::vector<std::unique_ptr<Polyhedron>> held;
    std::vector<MorphMesh> merged;
    for (const auto& [i, j] : pairing.pairs) {
        held.push_back(std::make_unique<Polyhedron>(source.pieces[static_cast<std::size_t>(i)]));
        Polyhedron& from = *held.back();
        held.push_back(std::make_unique<Polyhedron>(target.pieces[static_cast<std::size_t>(j)]));
        Polyhedron& to = *held.back();
        if (from.map == SphereMap::Spherical || to.map == SphereMap::Spherical) {
            MorphJob scratch;
            job.error = MeetSpheres(from, to, {}, scratch, progress);
            if (!job.error.empty()) {
                job.error = PairName(request, i, j) + ": " + job.error;
                return;
            }
        }
        MergedModels pair = MergeModels(from, to, MergeMethod::Robust, progress, request.threads, FaceDumps::Skip);
        if (!pair.error.empty()) {
            job.error = PairName(request, i, j) + ": " + pair.error;
            return;
        }
        job.merged.flat.collapsed += pair.flat.collapsed;
        job.merged.flat.flipped += pair.flat.flipped;
        job.merged.flat.remaining += pair.flat.remaining;
        job.leftOpen += LeaveOutCommonPatches(pair.mesh);
        merged.push_back(std::move(pair.mesh));
    }
    if (request.simplify.Asked()) Simplify(merged, request, pairing, source, target, job);
    if (!job.error.empty()) return;

    MorphMesh whole;
    whole.centre = SphereCentre;
    for (std::size_t k = 0; k < merged.size(); ++k) {
        const auto [i, j] = pairing.pairs[k];
        Append(whole, merged[k], s.firstFace[static_cast<std::size_t>(i)], t.firstFace[static_cast<std::size_t>(j)]);
    }
    const std::size_t pairedFaces = whole.faces.size(), pairedEdges = whole.edges.size();
    for (const auto& [i, j] : pairing.sourceAlone) {
        const Polyhedron& onto = target.pieces[static_cast<std::size_t>(j)];
        const int32_t at = NearestVertex(onto, InOtherFrame(Middle(s.boxes[static_cast<std::size_t>(i)]), Around(s.boxes), Around(t.boxes)));
        Append(whole, PointMorph(source.pieces[static_cast<std::size_t>(i)], onto, at, true), s.firstFace[static_cast<std::size_t>(i)],
               t.firstFace[static_cast<std::size_t>(j)]);
    }
    for (const auto& [j, i] : pairing.targetAlone) {
        const Polyhedron& onto = source.pieces[static_cast<std::size_t>(i)];
        const int32_t at = NearestVertex(onto, InOtherFrame(Middle(t.boxes[static_cast<std::size_t>(j)]), Around(t.boxes), Around(s.boxes)));
        Append(whole, PointMorph(target.pieces[static_cast<std::size_t>(j)], onto, at, false), s.firstFace[static_cast<std::size_t>(i)],
               t.firstFace[static_cast<std::size_t>(j)]);
    }
    job.source = std::make_unique<Polyhedron>(std::move(s.model));
    job.target = std::make_unique<Polyhedron>(std::move(t.model));
    whole.source = job.source.get();
    whole.target = job.target.get();
    job.pieces = pairing;
    job.colours = MergedColours(whole, s.colours, t.colours);
    if (request.path == PathChoice::Shape) {
        // note: a piece at a point at one end has no shape to keep there; it walks straight.
        MorphMesh paired = whole;
        paired.faces.resize(pairedFaces);
        paired.edges.resize(pairedEdges);
        std::string problem;
        job.path = ShapePath::Build(paired, problem, progress);
        if (!problem.empty()) job.error = "the morph of " + request.source + " and " + request.target + ": " + problem;
    }
    job.merged.mesh = std::move(whole);
}

}  // namespace vorlane
