#include "render/morph_drawing.h"

#include <GL/gl.h>

#include <cassert>
#include <cstddef>

#include "geometry/vec3.h"
#include "render/morph_interpolation.h"

namespace vorlane {

namespace {

void Vertex(const Vec3& p) { glVertex3f(p.x, p.y, p.z); }

const Vec3& ModelVertex(const Polyhedron& model, int32_t i)
{
    assert(i >= 0 && static_cast<std::size_t>(i) < model.vertices.size());
    return model.vertices[static_cast<std::size_t>(i)];
}

void Black() { glColor3ub(0, 0, 0); }

// Edges and rays: black, two pixels wide; the width stays set afterwards.
void BlackLines()
{
    Black();
    glLineWidth(2.0f);
}

// Vertices: white, five pixels across; the size stays set afterwards.
void WhitePoints()
{
    glColor3ub(255, 255, 255);
    glPointSize(5.0f);
}

}  // namespace

void DrawMorphFaces(const MorphMesh& mesh, int32_t step, const std::optional<ByteColour>& colour)
{
    if (colour) {
        glColor3ub(colour->red, colour->green, colour->blue);
    } else {
        Black();
    }
    glBegin(GL_TRIANGLES);
    for (int32_t f = 0; f < mesh.faceCount(); ++f) {
        const FaceIndices& indices = mesh.faces[static_cast<std::size_t>(f)].indices;
        if (indices.size() < 3) continue;
        const TrianglePoints corners{MorphPoint(mesh, step, indices[0]), MorphPoint(mesh, step, indices[1]),
                                     MorphPoint(mesh, step, indices[2])};
        Vec3 n;
        TriangleNormal(corners, n);
        glNormal3f(n.x, n.y, n.z);
        Vertex(corners.p0);
        Vertex(corners.p1);
        Vertex(corners.p2);
    }
    glEnd();
}

void DrawMorphEdges(const MorphMesh& mesh, int32_t step)
{
    BlackLines();
    glBegin(GL_LINES);
    for (int32_t i = 0; i < mesh.edgeCount(); ++i) {
        const IndexPair& edge = mesh.edges[static_cast<std::size_t>(i)];
        Vertex(MorphPoint(mesh, step, edge.from));
        Vertex(MorphPoint(mesh, step, edge.to));
    }
    glEnd();
}

void DrawMorphVertices(const MorphMesh& mesh, int32_t step)
{
    WhitePoints();
    glBegin(GL_POINTS);
    for (int32_t v = 0; v < mesh.vertexCount(); ++v) Vertex(MorphPoint(mesh, step, v));
    glEnd();
}

void DrawModelEdges(const Polyhedron& model)
{
    BlackLines();
    glBegin(GL_LINES);
    for (int32_t i = 0; i < model.edgeCount(); ++i) {
        const IndexPair& edge = model.edges[static_cast<std::size_t>(i)];
        Vertex(ModelVertex(model, edge.from));
        Vertex(ModelVertex(model, edge.to));
    }
    glEnd();
}

void DrawModelVertices(const Polyhedron& model)
{
    WhitePoints();
    glBegin(GL_POINTS);
    for (int32_t i = 0; i < model.vertexCount(); ++i) Vertex(ModelVertex(model, i));
    glEnd();
}

void DrawProjectionRays(const Polyhedron& model)
{
    assert(model.vertexCount() >= 0 && static_cast<std::size_t>(model.vertexCount()) <= model.spherePoints.size());
    BlackLines();
    glBegin(GL_LINES);
    for (int32_t i = 0; i < model.vertexCount(); ++i) {
        Vertex(SphereCentre);
        Vertex(model.spherePoints[static_cast<std::size_t>(i)]);
    }
    glEnd();
}

void DrawMorphView(const ColouredMorph& morph, const ViewState& view)
{
    const MorphMesh& mesh = *morph.mesh;
    glRotatef(view.angleX - 50.0f, 1.0f, 0.0f, 0.0f);
    glRotatef(view.angleY + 10.0f, 0.0f, 1.0f, 0.0f);
    glRotatef(view.angleZ, 0.0f, 0.0f, 1.0f);
    if (view.showMorphFaces) DrawMorphFaces(mesh, view.morphStep, MorphColour(morph, view.morphStep));
    if (view.showMorphEdges) DrawMorphEdges(mesh, view.morphStep);
    if (view.showMorphVertices) DrawMorphVertices(mesh, view.morphStep);
}

}  // namespace vorlane
