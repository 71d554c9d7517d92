// The light marker: a filled GLU sphere compiled once into a display list.
#pragma once

#include <cstdint>
#include <forward_list>
#include <map>
#include <vector>

namespace vorlane {

inline constexpr int32_t SolidSphereKind = 10;

// One compiled shape and the exact parameters it was made with.
struct ShapeListEntry {
    uint32_t listId = 0;
    std::vector<double> params;
};

// Display lists by shape kind, newest first. The lists belong to the context
// that was current when they were compiled: clear the cache for a new context.
struct ShapeListCache {
    std::map<int32_t, std::forward_list<ShapeListEntry>> kinds;
};

// True when a[i] == b[i] for every i below count; true for count <= 0.
bool ParamsEqual(const double* a, const double* b, int32_t count);

// The newest list of kind made with exactly params, or 0 when there is none.
// An entry made with a different number of parameters never matches.
uint32_t FindShapeList(const ShapeListCache& cache, int32_t kind, const std::vector<double>& params);

// Reserves a new list name for kind and params at the head of its kind.
// Returns 0, and records nothing, when GL has no name to give.
uint32_t AddShapeList(ShapeListCache& cache, int32_t kind, std::vector<double> params);

// A filled, smoothly shaded sphere of radius about the current origin in the
// current colour and lighting, 16 slices by 16 stacks. The first call for a
// radius compiles and draws its list; later calls only call it.
void DrawSolidSphere(ShapeListCache& cache, double radius);

}  // namespace vorlane
