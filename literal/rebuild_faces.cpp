#include "literal/rebuild_faces.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "geometry/fan.h"
#include "files/output_file.h"

namespace vorlane {
namespace {

float EdgeLength(const MorphMesh& mesh, int32_t i, int32_t j)
{
    const Vec3& a = mesh.endPositions[static_cast<size_t>(i)];
    const Vec3& b = mesh.endPositions[static_cast<size_t>(j)];
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const double dz = b.z - a.z;
    return static_cast<float>(std::sqrt(dx * dx + dy * dy + dz * dz));
}

void ReverseFace(MeshFace& face)
{
    std::reverse(face.indices.begin(), face.indices.end());
}

constexpr int32_t LongestCycle = 12;

// One vertex of the path being explored, linked back to the start.
struct PathNode {
    int32_t vertex = 0;
    int32_t depth = 0;
    int32_t edgeIndex = 0;  // the edge leaving this node along the path
    float edgeLength = 0.0f;
    const PathNode* previous = nullptr;
};

struct FaceCandidate {
    MeshFace face;
    std::vector<int32_t> edgeIndices;  // from the last path node back to the start
    float perimeter = 0.0f;
};

class FaceSearch {
public:
    explicit FaceSearch(const MorphMesh& mesh) : mesh_(mesh), edgeUse_(mesh.edges.size(), 0) {}

    // Two passes over the edges: the first gives most edges one face, the
    // second finds the face on the other side.
    std::vector<MeshFace> FindFaces()
    {
        for (int8_t pass = 0; pass < 2; ++pass) {
            for (size_t i = 0; i < mesh_.edges.size(); ++i) {
                if (edgeUse_[i] != pass) continue;
                const IndexPair& e = mesh_.edges[i];
                PathNode start{e.from, 0, static_cast<int32_t>(i), EdgeLength(mesh_, e.from, e.to), nullptr};
                PathNode second{e.to, 1, 0, 0.0f, &start};
                for (int32_t limit = 3; limit <= LongestCycle && candidates_.empty(); ++limit) {
                    FindFaceCycles(second, start, limit);
                }
                if (!candidates_.empty()) {
                    faceList_.push_back(TakeBestCandidate());
                    candidates_.clear();
                }
            }
        }
        return std::move(faceList_);
    }

private:
    void FindFaceCycles(PathNode& last, const PathNode& start, int32_t limit)
    {
        const int32_t k = last.depth + 1;
        for (size_t j = 0; j < mesh_.edges.size(); ++j) {
            if (edgeUse_[j] == 2) continue;
            const IndexPair& e = mesh_.edges[j];
            if (e.from != last.vertex && e.to != last.vertex) continue;
            const int32_t c = e.from == last.vertex ? e.to : e.from;
            if (c == last.previous->vertex) continue;
            last.edgeIndex = static_cast<int32_t>(j);
            last.edgeLength = EdgeLength(mesh_, e.from, e.to);
            if (c == start.vertex) {
                MeshFace face{k, {}};
                for (const PathNode* node = &last; node; node = node->previous) face.indices.push_back(node->vertex);
                if (IsKnownFace(face)) continue;
                FaceCandidate candidate{std::move(face), {}, 0.0f};
                for (const PathNode* node = &last; node; node = node->previous) {
                    candidate.edgeIndices.push_back(node->edgeIndex);
                    candidate.perimeter += node->edgeLength;
                }
                candidates_.push_back(std::move(candidate));
                return;
            }
            if (OnPath(last.previous, c)) continue;
            if (k >= limit) continue;
            PathNode next{c, k, 0, 0.0f, &last};
            FindFaceCycles(next, start, limit);
        }
    }

    static bool OnPath(const PathNode* node, int32_t vertex)
    {
        for (; node; node = node->previous) {
            if (node->vertex == vertex) return true;
        }
        return false;
    }

    // A face is known when an earlier face, no larger, has all its vertices
    // among the new face's vertices, whatever their order.
    bool IsKnownFace(const MeshFace& face) const
    {
        for (const MeshFace& known : faceList_) {
            if (known.vertexCount > face.vertexCount) continue;
            int32_t matches = 0;
            for (int32_t x : face.indices) matches += static_cast<int32_t>(std::count(known.indices.begin(), known.indices.end(), x));
            if (matches >= known.vertexCount) return true;
        }
        return false;
    }

    // The shortest perimeter wins; on a tie the candidate found first.
    MeshFace TakeBestCandidate()
    {
        size_t best = 0;
        for (size_t c = 1; c < candidates_.size(); ++c) {
            if (candidates_[c].perimeter < candidates_[best].perimeter) best = c;
        }
        for (int32_t e : candidates_[best].edgeIndices) ++edgeUse_[static_cast<size_t>(e)];
        return std::move(candidates_[best].face);
    }

    const MorphMesh& mesh_;
    std::vector<int8_t> edgeUse_;
    std::vector<MeshFace> faceList_;
    std::vector<FaceCandidate> candidates_;
};

void TurnFaceOutward(const MorphMesh& mesh, MeshFace& face)
{
    const Vec3& p0 = mesh.endPositions[static_cast<size_t>(face.indices[0])];
    const TrianglePoints corners{p0, mesh.endPositions[static_cast<size_t>(face.indices[1])],
                                 mesh.endPositions[static_cast<size_t>(face.indices[2])]};
    Vec3 n;
    TriangleNormal(corners, n);
    Vec3 v;
    PointDifference(mesh.centre, p0, v);
    if (DotProduct(v, n) < 0.0f) ReverseFace(face);
}

// Triangles stay in place; each polygon is replaced by its fan at the end of
// the list, the last polygon's fan first.
std::vector<MeshFace> FanTriangulate(const std::vector<MeshFace>& polygons)
{
    std::vector<MeshFace> triangles;
    for (const MeshFace& face : polygons) {
        if (face.vertexCount <= 3) triangles.push_back(face);
    }
    for (auto it = polygons.rbegin(); it != polygons.rend(); ++it) {
        if (it->vertexCount <= 3) continue;
        ForEachFanTriangle(it->indices.data(), it->indices.size(),
                           [&](int32_t a, int32_t b, int32_t c) { triangles.push_back({3, {a, b, c}}); });
    }
    return triangles;
}

bool WriteFaceDump(const char* path, const std::vector<MeshFace>& faces)
{
    std::string reason;
    const int descriptor = OpenRegularFileForWriting(path, reason);
    if (descriptor < 0) return false;
    std::FILE* file = fdopen(descriptor, "w");
    if (!file) {
        close(descriptor);
        return false;
    }
    bool ok = true;
    std::string line;
    char number[32];
    for (size_t f = 0; f < faces.size() && ok; ++f) {
        std::snprintf(number, sizeof number, "Face %d: ", static_cast<int>(f));
        line = number;
        for (int32_t index : faces[f].indices) {
            std::snprintf(number, sizeof number, "\t%d", static_cast<int>(index));
            line += number;
        }
        line += '\n';
        ok = std::fwrite(line.data(), 1, line.size(), file) == line.size();
    }
    return std::fclose(file) == 0 && ok;
}

}  // namespace

int32_t RebuildFaces(MorphMesh& mesh, FaceDumps dumps)
{
    std::vector<MeshFace> polygons = FaceSearch(mesh).FindFaces();
    for (MeshFace& face : polygons) TurnFaceOutward(mesh, face);
    const bool write = dumps == FaceDumps::Write;
    // A dump that cannot be written must not cost the morph its faces.
    const bool polygonsWritten = !write || WriteFaceDump("facelist1.txt", polygons);
    mesh.faces = FanTriangulate(polygons);
    const bool trianglesWritten = !write || WriteFaceDump("facelist2.txt", mesh.faces);
    return polygonsWritten && trianglesWritten ? 1 : 0;
}

}  // namespace vorlane
