// A morph at a step, and a source model as it was built, in immediate-mode GL.
// Each operation issues one glBegin/glEnd block after its colour and size and
// pushes nothing; line width and point size stay set afterwards.
#pragma once

#include <cstdint>
#include <optional>

#include "geometry/morph_mesh.h"
#include "geometry/polyhedron.h"
#include "render/morph_interpolation.h"
#include "render/view_state.h"

namespace vorlane {

// Every face as one triangle of its first three corners at step, with one
// normal from the interpolated corners (zero for a degenerate triangle), in
// colour, or black for a shadow (no colour). Faces with fewer than three
// corners are skipped.
void DrawMorphFaces(const MorphMesh& mesh, int32_t step, const std::optional<ByteColour>& colour);

// Every merged edge at step as a black line of width 2.
void DrawMorphEdges(const MorphMesh& mesh, int32_t step);

// Every merged vertex at step, folded ones too, as a white point of size 5.
void DrawMorphVertices(const MorphMesh& mesh, int32_t step);

// The model's own edges at its stored (centred) positions, black, width 2.
void DrawModelEdges(const Polyhedron& model);

// The model's own vertices at their stored positions, white, size 5.
void DrawModelVertices(const Polyhedron& model);

// A black line from SphereCentre to each of the model's sphere points.
void DrawProjectionRays(const Polyhedron& model);

// Rotates the current matrix by (angleX - 50) about x, (angleY + 10) about y
// and angleZ about z, then draws the faces, edges and vertices the view's
// switches select, the faces in MorphColour.
void DrawMorphView(const ColouredMorph& morph, const ViewState& view);

}  // namespace vorlane
