#include "render/morph_array_drawing.h"

// Buffer objects are OpenGL 1.5, exported by every libGL this builds against.
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include <vector>

namespace vorlane {

namespace {

template <class T>
void Fill(GLenum target, GLuint& name, const std::vector<T>& values, GLenum usage)
{
    if (name == 0) glGenBuffers(1, &name);
    glBindBuffer(target, name);
    glBufferData(target, static_cast<GLsizeiptr>(values.size() * sizeof(T)), values.data(), usage);
}

// Positions (and normals, when asked) as the arrays of the next draw.
class BoundArrays {
public:
    BoundArrays(const MorphBuffers& buffers, bool withNormals)
    {
        glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
        glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &arrayBinding_);
        glGetIntegerv(GL_ELEMENT_ARRAY_BUFFER_BINDING, &elementBinding_);
        glEnableClientState(GL_VERTEX_ARRAY);
        glBindBuffer(GL_ARRAY_BUFFER, buffers.positions);
        glVertexPointer(3, GL_FLOAT, 0, nullptr);
        if (withNormals) {
            glEnableClientState(GL_NORMAL_ARRAY);
            glBindBuffer(GL_ARRAY_BUFFER, buffers.normals);
            glNormalPointer(GL_FLOAT, 0, nullptr);
        }
    }
    ~BoundArrays()
    {
        glPopClientAttrib();
        glBindBuffer(GL_ARRAY_BUFFER, static_cast<GLuint>(arrayBinding_));
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLuint>(elementBinding_));
    }
    BoundArrays(const BoundArrays&) = delete;
    BoundArrays& operator=(const BoundArrays&) = delete;

private:
    GLint arrayBinding_ = 0;
    GLint elementBinding_ = 0;
};

GLsizei Count(const MorphBuffers& buffers, bool edges)
{
    return static_cast<GLsizei>(edges ? buffers.arrays->edges.size() : buffers.arrays->triangles.size());
}

}  // namespace

void UploadMorphBuffers(const MorphArrays& arrays, const MorphFrame& frame, MorphBuffers& buffers)
{
    GLint arrayBinding = 0, elementBinding = 0;
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &arrayBinding);
    glGetIntegerv(GL_ELEMENT_ARRAY_BUFFER_BINDING, &elementBinding);
    if (buffers.arrays != &arrays) {
        Fill(GL_ELEMENT_ARRAY_BUFFER, buffers.triangles, arrays.triangles, GL_STATIC_DRAW);
        Fill(GL_ELEMENT_ARRAY_BUFFER, buffers.edges, arrays.edges, GL_STATIC_DRAW);
        buffers.arrays = &arrays;
        buffers.step = -1;
    }
    if (buffers.step != frame.step) {
        Fill(GL_ARRAY_BUFFER, buffers.positions, frame.positions, GL_DYNAMIC_DRAW);
        Fill(GL_ARRAY_BUFFER, buffers.normals, frame.normals, GL_DYNAMIC_DRAW);
        if (!frame.colours.empty()) Fill(GL_ARRAY_BUFFER, buffers.colours, frame.colours, GL_DYNAMIC_DRAW);
        buffers.step = frame.step;
    }
    glBindBuffer(GL_ARRAY_BUFFER, static_cast<GLuint>(arrayBinding));
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLuint>(elementBinding));
}

void ReleaseMorphBuffers(MorphBuffers& buffers)
{
    const GLuint names[5] = {buffers.positions, buffers.normals, buffers.triangles, buffers.edges, buffers.colours};
    glDeleteBuffers(buffers.colours ? 5 : 4, names);
    buffers = MorphBuffers{};
}

void DrawMorphArrayFaces(const MorphBuffers& buffers, const std::optional<ByteColour>& colour)
{
    if (colour) {
        glColor3ub(colour->red, colour->green, colour->blue);
    } else {
        glColor3ub(0, 0, 0);
    }
    // note: a shadow is drawn unlit and needs no normals.
    const BoundArrays bound(buffers, colour.has_value());
    if (colour && buffers.colours != 0 && !buffers.arrays->startColours.empty()) {
        glEnableClientState(GL_COLOR_ARRAY);
        glBindBuffer(GL_ARRAY_BUFFER, buffers.colours);
        glColorPointer(3, GL_FLOAT, 0, nullptr);
    }
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers.triangles);
    glDrawElements(GL_TRIANGLES, Count(buffers, false), GL_UNSIGNED_INT, nullptr);
}

void DrawMorphArrayEdges(const MorphBuffers& buffers)
{
    glColor3ub(0, 0, 0);
    glLineWidth(2.0f);
    const BoundArrays bound(buffers, false);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers.edges);
    glDrawElements(GL_LINES, Count(buffers, true), GL_UNSIGNED_INT, nullptr);
}

void DrawMorphArrayVertices(const MorphBuffers& buffers)
{
    glColor3ub(255, 255, 255);
    glPointSize(5.0f);
    const BoundArrays bound(buffers, false);
    glDrawArrays(GL_POINTS, 0, buffers.arrays->vertexCount);
}

}  // namespace vorlane
