// The six built-in models.
#pragma once

#include <array>
#include <string_view>

#include "geometry/polyhedron.h"

namespace vorlane {

using ModelBuilder = Polyhedron (*)(const Vec3& centre);

Polyhedron BuildCube(const Vec3& centre);
Polyhedron BuildRhombicPrism(const Vec3& centre);
Polyhedron BuildIcosahedron(const Vec3& centre);
Polyhedron BuildPyramid(const Vec3& centre);
Polyhedron BuildPointedBar(const Vec3& centre);
Polyhedron BuildBox(const Vec3& centre);

// The tables behind each builder, for callers that want them without a build.
ModelTable CubeTable();
ModelTable RhombicPrismTable();
ModelTable IcosahedronTable();
ModelTable PyramidTable();
ModelTable PointedBarTable();
ModelTable BoxTable();

struct CatalogueEntry {
    const char* name;  // as the command line spells it: "cube", "rhombic-prism", ...
    ModelBuilder build;
};

// The six models in catalogue order.
const std::array<CatalogueEntry, 6>& Catalogue();

// The entry named name, or nullptr.
const CatalogueEntry* FindCatalogueModel(std::string_view name);

}  // namespace vorlane
