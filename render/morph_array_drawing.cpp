#include "render/morph_array_drawing.h"

#include <GL/gl.h>

namespace vorlane {

namespace {

// Positions (and normals, when given) as the client arrays of the next draw.
class ClientArrays {
public:
    ClientArrays(const MorphFrame& frame, bool withNormals)
    {
        glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
        glEnableClientState(GL_VERTEX_ARRAY);
        glVertexPointer(3, GL_FLOAT, 0, frame.positions.data());
        if (withNormals) {
            glEnableClientState(GL_NORMAL_ARRAY);
            glNormalPointer(GL_FLOAT, 0, frame.normals.data());
        }
    }
    ~ClientArrays() { glPopClientAttrib(); }
    ClientArrays(const ClientArrays&) = delete;
    ClientArrays& operator=(const ClientArrays&) = delete;
};

}  // namespace

void DrawMorphArrayFaces(const MorphArrays& arrays, const MorphFrame& frame, const std::optional<ByteColour>& colour)
{
    if (colour) {
        glColor3ub(colour->red, colour->green, colour->blue);
    } else {
        glColor3ub(0, 0, 0);
    }
    // note: a shadow is drawn unlit and needs no normals.
    const ClientArrays bound(frame, colour.has_value());
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(arrays.triangles.size()), GL_UNSIGNED_INT,
                   arrays.triangles.data());
}

void DrawMorphArrayEdges(const MorphArrays& arrays, const MorphFrame& frame)
{
    glColor3ub(0, 0, 0);
    glLineWidth(2.0f);
    const ClientArrays bound(frame, false);
    glDrawElements(GL_LINES, static_cast<GLsizei>(arrays.edges.size()), GL_UNSIGNED_INT, arrays.edges.data());
}

void DrawMorphArrayVertices(const MorphArrays& arrays, const MorphFrame& frame)
{
    glColor3ub(255, 255, 255);
    glPointSize(5.0f);
    const ClientArrays bound(frame, false);
    glDrawArrays(GL_POINTS, 0, arrays.vertexCount);
}

}  // namespace vorlane
