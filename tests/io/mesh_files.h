// Small mesh files of every format, written by the tests themselves.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "geometry/polyhedron.h"

namespace vorlane::test {

// The cube [-1, 1]^3 as six quads, counter-clockwise seen from outside.
inline const std::array<Vec3, 8>& CubeCorners()
{
    static const std::array<Vec3, 8> corners = {{{-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1},
                                                 {-1, -1, 1}, {1, -1, 1}, {1, 1, 1}, {-1, 1, 1}}};
    return corners;
}

inline const std::array<std::array<int, 4>, 6>& CubeQuads()
{
    static const std::array<std::array<int, 4>, 6> quads = {
        {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4}, {2, 3, 7, 6}, {0, 4, 7, 3}, {1, 2, 6, 5}}};
    return quads;
}

inline std::string CubeObj()
{
    std::string text = "# a cube\nmtllib nowhere.mtl\no cube\n";
    for (const Vec3& p : CubeCorners())
        text += "v " + std::to_string(p.x) + " " + std::to_string(p.y) + " " + std::to_string(p.z) + "\n";
    text += "vn 0 0 1\nvt 0 0\nusemtl none\n";
    // Mixed corner forms and a negative (relative) index.
    text += "f 1/1 4/1 3/1 2/1\nf 5//1 6//1 7//1 8//1\nf 1/1/1 2/1/1 6/1/1 5/1/1\n";
    text += "f 3 4 8 7 # trailing comment 1 2\nf 1 5 8 4\nf 2 3 -2 6\n";
    return text;
}

// header is "OFF" or a variant; faceSuffix is appended to each face line.
inline std::string CubeOff(const std::string& header = "OFF", const std::string& faceSuffix = "")
{
    std::string text = header + "\n# comment line\n8 6 12\n";
    for (const Vec3& p : CubeCorners())
        text += std::to_string(p.x) + " " + std::to_string(p.y) + " " + std::to_string(p.z) + "\n";
    for (const auto& q : CubeQuads())
        text += "4 " + std::to_string(q[0]) + " " + std::to_string(q[1]) + " " + std::to_string(q[2]) + " " +
                std::to_string(q[3]) + faceSuffix + "\n";
    return text;
}

// Two cubes side by side in one file: two pieces.
inline std::string TwoCubesOff()
{
    std::string text = "OFF\n16 12 0\n";
    for (const float shift : {0.0f, 3.0f})
        for (const Vec3& p : CubeCorners())
            text += std::to_string(p.x + shift) + " " + std::to_string(p.y) + " " + std::to_string(p.z) + "\n";
    for (const int offset : {0, 8})
        for (const auto& q : CubeQuads())
            text += "4 " + std::to_string(q[0] + offset) + " " + std::to_string(q[1] + offset) + " " +
                    std::to_string(q[2] + offset) + " " + std::to_string(q[3] + offset) + "\n";
    return text;
}

// The cube as an exporter splits it along every hard edge: each face has
// its own four corners (24 vertices), in OBJ or in ASCII PLY.
inline std::string SplitCube(bool ply)
{
    std::string text = ply ? "ply\nformat ascii 1.0\nelement vertex 24\nproperty float x\nproperty float y\n"
                             "property float z\nelement face 6\nproperty list uchar int vertex_indices\nend_header\n"
                           : "";
    for (const auto& q : CubeQuads())
        for (const int corner : q) {
            const Vec3& p = CubeCorners()[static_cast<std::size_t>(corner)];
            text += std::string(ply ? "" : "v ") + std::to_string(p.x) + " " + std::to_string(p.y) + " " +
                    std::to_string(p.z) + "\n";
        }
    for (int f = 0; f < 6; ++f) {
        const int base = 4 * f + (ply ? 0 : 1);
        text += std::string(ply ? "4 " : "f ") + std::to_string(base) + " " + std::to_string(base + 1) + " " +
                std::to_string(base + 2) + " " + std::to_string(base + 3) + "\n";
    }
    return text;
}

inline std::string CubePlyAscii()
{
    std::string text =
        "ply\ncomment before the format\nformat ascii 1.0\nelement vertex 8\nproperty float x\nproperty float y\n"
        "property float z\nelement face 6\nproperty list uchar int vertex_indices\nend_header\n";
    for (const Vec3& p : CubeCorners())
        text += std::to_string(p.x) + " " + std::to_string(p.y) + " " + std::to_string(p.z) + "\n";
    for (const auto& q : CubeQuads())
        text += "4 " + std::to_string(q[0]) + " " + std::to_string(q[1]) + " " + std::to_string(q[2]) + " " +
                std::to_string(q[3]) + "\n";
    return text;
}

inline void PutBytes(std::string& out, const void* value, std::size_t size, bool bigEndian)
{
    const unsigned char* bytes = static_cast<const unsigned char*>(value);
    for (std::size_t i = 0; i < size; ++i) out += static_cast<char>(bytes[bigEndian ? size - 1 - i : i]);
}

template <typename T>
void Put(std::string& out, T value, bool bigEndian = false)
{
    PutBytes(out, &value, sizeof value, bigEndian);
}

// Binary PLY with double coordinates and an extra per-vertex byte, to show
// the reader skips what it does not use.
inline std::string CubePlyBinary(bool bigEndian)
{
    std::string text = std::string("ply\nformat ") + (bigEndian ? "binary_big_endian" : "binary_little_endian") +
                       " 1.0\nelement vertex 8\nproperty double x\nproperty double y\nproperty double z\n"
                       "property uchar quality\nelement face 6\nproperty list uint8 uint32 vertex_indices\n"
                       "end_header\n";
    for (const Vec3& p : CubeCorners()) {
        Put<double>(text, p.x, bigEndian);
        Put<double>(text, p.y, bigEndian);
        Put<double>(text, p.z, bigEndian);
        Put<uint8_t>(text, 7);
    }
    for (const auto& q : CubeQuads()) {
        Put<uint8_t>(text, 4);
        for (int corner : q) Put<uint32_t>(text, static_cast<uint32_t>(corner), bigEndian);
    }
    return text;
}

// The cube's twelve triangles, each corner given by position as STL does.
inline std::vector<std::array<Vec3, 3>> CubeTriangleCorners()
{
    std::vector<std::array<Vec3, 3>> triangles;
    for (const auto& q : CubeQuads()) {
        triangles.push_back({CubeCorners()[q[0]], CubeCorners()[q[1]], CubeCorners()[q[2]]});
        triangles.push_back({CubeCorners()[q[0]], CubeCorners()[q[2]], CubeCorners()[q[3]]});
    }
    return triangles;
}

inline std::string CubeStlAscii()
{
    std::string text = "solid outer_cube\n";
    for (const auto& t : CubeTriangleCorners()) {
        text += "  facet normal 0 0 0\n    outer loop\n";
        for (const Vec3& p : t)
            text += "      vertex " + std::to_string(p.x) + " " + std::to_string(p.y) + " " + std::to_string(p.z) + "\n";
        text += "    endloop\n  endfacet\n";
    }
    return text + "endsolid outer_cube\n";
}

inline std::string CubeStlBinary()
{
    // note: a header starting with "solid" must not make it look like ASCII.
    std::string text = "solid but binary";
    text.resize(80, ' ');
    const auto triangles = CubeTriangleCorners();
    Put<uint32_t>(text, static_cast<uint32_t>(triangles.size()));
    for (const auto& t : triangles) {
        for (int i = 0; i < 3; ++i) Put<float>(text, 0.0f);
        for (const Vec3& p : t) {
            Put<float>(text, p.x);
            Put<float>(text, p.y);
            Put<float>(text, p.z);
        }
        Put<uint16_t>(text, 0);
    }
    return text;
}

struct Point2 {
    float x, y;
};

// The polygon (counter-clockwise seen from +z) swept from z = 0 to z = 1, as
// OFF with polygon caps, so the reader's ear clipping splits them.
inline std::string PrismOff(const std::vector<Point2>& polygon)
{
    const size_t n = polygon.size();
    std::string text = "OFF\n" + std::to_string(2 * n) + " " + std::to_string(n + 2) + " 0\n";
    for (float z : {0.0f, 1.0f})
        for (const Point2& p : polygon) text += std::to_string(p.x) + " " + std::to_string(p.y) + " " + std::to_string(z) + "\n";
    std::string bottom = std::to_string(n), top = std::to_string(n);
    for (size_t i = 0; i < n; ++i) {
        bottom += " " + std::to_string(n - 1 - i);
        top += " " + std::to_string(n + i);
    }
    text += bottom + "\n" + top + "\n";
    for (size_t i = 0; i < n; ++i) {
        const size_t j = (i + 1) % n;
        text += "4 " + std::to_string(i) + " " + std::to_string(j) + " " + std::to_string(n + j) + " " +
                std::to_string(n + i) + "\n";
    }
    return text;
}

}  // namespace vorlane::test
