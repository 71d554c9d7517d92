#include "render/light_marker.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <utility>

namespace vorlane {

namespace {

void TessellateSphere(double radius)
{
    GLUquadric* quadric = gluNewQuadric();
    if (quadric == nullptr) return;
    gluQuadricDrawStyle(quadric, GLU_FILL);
    gluQuadricNormals(quadric, GLU_SMOOTH);
    gluSphere(quadric, radius, 16, 16);
    gluDeleteQuadric(quadric);
}

}  // namespace

bool ParamsEqual(const double* a, const double* b, int32_t count)
{
    for (int32_t i = 0; i < count; ++i) {
        if (a[i] != b[i]) return false;
    }
    return true;
}

uint32_t FindShapeList(const ShapeListCache& cache, int32_t kind, const std::vector<double>& params)
{
    const auto found = cache.kinds.find(kind);
    if (found == cache.kinds.end()) return 0;
    for (const ShapeListEntry& entry : found->second) {
        if (entry.params.size() == params.size() &&
            ParamsEqual(entry.params.data(), params.data(), static_cast<int32_t>(params.size()))) {
            return entry.listId;
        }
    }
    return 0;
}

uint32_t AddShapeList(ShapeListCache& cache, int32_t kind, std::vector<double> params)
{
    const GLuint id = glGenLists(1);
    if (id == 0) return 0;
    cache.kinds[kind].push_front(ShapeListEntry{id, std::move(params)});
    return id;
}

void DrawSolidSphere(ShapeListCache& cache, double radius)
{
    std::vector<double> params{radius};
    GLuint id = FindShapeList(cache, SolidSphereKind, params);
    if (id != 0) {
        glCallList(id);
        return;
    }
    id = AddShapeList(cache, SolidSphereKind, std::move(params));
    // note: without a list name, draw directly rather than cache a dead entry.
    if (id == 0) {
        TessellateSphere(radius);
        return;
    }
    glNewList(id, GL_COMPILE_AND_EXECUTE);
    TessellateSphere(radius);
    glEndList();
}

}  // namespace vorlane
