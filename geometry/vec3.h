// Vectors, triangles and the common projection sphere.
#pragma once

#include <cstdint>

namespace vorlane {

// Three contiguous floats, so a Vec3 can be handed to glVertex3fv and glNormal3fv.
struct Vec3 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
};

// Three corners as nine contiguous floats.
struct TrianglePoints {
    Vec3 p0;
    Vec3 p1;
    Vec3 p2;
};

inline constexpr Vec3 SphereCentre{0.0f, 0.0f, 0.0f};
inline constexpr float SphereRadius = 300.0f;

// q = the point of the projection sphere on the ray from SphereCentre through p.
// Returns false and leaves q untouched when p is SphereCentre exactly.
bool ProjectToSphere(const Vec3& p, Vec3& q);

// a.x*b.x + a.y*b.y + a.z*b.z, summed in double and delivered as a float.
float DotProduct(const Vec3& a, const Vec3& b);

// a + b per coordinate, in float: a centred point back in table coordinates.
inline Vec3 Add(const Vec3& a, const Vec3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }

// out = b - a: the vector from the first point to the second.
void PointDifference(const Vec3& a, const Vec3& b, Vec3& out);

// Scales v to unit length in place; the zero vector stays zero.
void NormalizeVector(Vec3& v);

// Unit normal of (p0, p1, p2) by the right-hand rule: along (p1 - p0) x (p2 - p0).
// Collinear or coincident corners give the zero vector.
void TriangleNormal(const TrianglePoints& t, Vec3& n);

inline bool operator==(const Vec3& a, const Vec3& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }
inline bool operator!=(const Vec3& a, const Vec3& b) { return !(a == b); }

}  // namespace vorlane
