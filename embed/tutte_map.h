// The plain spherical map the coarse-to-fine embedding is measured against:
// Tutte's barycentric map of the mesh less one triangle, on the sphere.
#pragma once

#include <string>
#include <vector>

#include "embed/spherical_embedding.h"
#include "geometry/dvec3.h"

namespace vorlane {

// Removes the largest triangle, maps the rest with uniform weights onto an
// equilateral triangle (sparse Cholesky through Eigen), sends the plane to
// the sphere by inverse stereographic projection and moves the area-weighted
// centre of mass of the vertices to the centre by a Moebius map. Directions
// are float points of the common sphere; they are not checked here. Returns
// an empty string, or why the linear system failed.
std::string TutteMapOnSphere(const ModelTable& table, std::vector<Vec3>& directions, const Progress& progress);

// Plane points (x, y) of every vertex sent to the unit sphere by inverse
// stereographic projection, then Moebius-centred: the mass-weighted centre
// of the points moved to the origin.
// Pins the corners of removed on an equilateral triangle about the origin
// in the plane z = 0, counter-clockwise (the rest of plane left as it is),
// and numbers the other vertices as unknowns in order (unknown, sized to
// plane, holds -1 for the pinned); returns how many unknowns.
int PinTriangle(const Triangle& removed, std::vector<D3>& plane, std::vector<int>& unknown);

std::vector<D3> CentredOnSphere(const std::vector<D3>& plane, const std::vector<double>& mass);

}  // namespace vorlane
