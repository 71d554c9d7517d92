#include "geometry/model_catalogue.h"

namespace vorlane {
namespace {

// Both prisms: four corners on the axes at z = -h, the same four at +h.
ModelTable AxisPrism(float a, float b, float h)
{
    ModelTable table;
    table.vertices = {{a, 0.0f, -h}, {0.0f, b, -h}, {-a, 0.0f, -h}, {0.0f, -b, -h},
                      {a, 0.0f, h},  {0.0f, b, h},  {-a, 0.0f, h},  {0.0f, -b, h}};
    table.triangles = {{1, 5, 4}, {0, 1, 4}, {1, 6, 5}, {1, 2, 6}, {2, 7, 6}, {2, 3, 7},
                       {0, 4, 7}, {0, 7, 3}, {5, 6, 7}, {5, 7, 4}, {0, 2, 1}, {0, 3, 2}};
    return table;
}

constexpr float CubeHalfDiagonal = 35.35534f;  // 25 * sqrt(2)

}  // namespace

ModelTable CubeTable()
{
    return AxisPrism(CubeHalfDiagonal, CubeHalfDiagonal, 25.0f);
}

ModelTable RhombicPrismTable()
{
    const float a = CubeHalfDiagonal * 1.5f;
    const float b = CubeHalfDiagonal * 1.0f;
    const float h = 50.0f * 0.5f;
    return AxisPrism(a, b, h);
}

ModelTable IcosahedronTable()
{
    const float p = 26.286554f;
    const float q = 42.53254f;
    ModelTable table;
    table.vertices = {{-p, 0.0f, q}, {p, 0.0f, q},  {-p, 0.0f, -q}, {p, 0.0f, -q},
                      {0.0f, q, p},  {0.0f, q, -p}, {0.0f, -q, p},  {0.0f, -q, -p},
                      {q, p, 0.0f},  {-q, p, 0.0f}, {q, -p, 0.0f},  {-q, -p, 0.0f}};
    table.triangles = {{4, 0, 1},  {9, 0, 4},  {5, 9, 4},  {5, 4, 8},  {8, 4, 1},  {10, 8, 1}, {3, 8, 10},
                       {3, 5, 8},  {2, 5, 3},  {7, 2, 3},  {10, 7, 3}, {6, 7, 10}, {11, 7, 6}, {0, 11, 6},
                       {1, 0, 6},  {1, 6, 10}, {0, 9, 11}, {11, 9, 2}, {2, 9, 5},  {2, 7, 11}};
    return table;
}

ModelTable PyramidTable()
{
    const float base = -20.710678f;  // 50 * (sqrt(2) - 1)
    ModelTable table;
    table.vertices = {{50.0f, 50.0f, base}, {-50.0f, 50.0f, base}, {-50.0f, -50.0f, base},
                      {50.0f, -50.0f, base}, {0.0f, 0.0f, 50.0f}};
    table.triangles = {{0, 4, 3}, {0, 1, 4}, {1, 2, 4}, {4, 2, 3}, {1, 3, 2}, {1, 0, 3}};
    return table;
}

ModelTable PointedBarTable()
{
    ModelTable table;
    table.vertices = {{10, -30, 10}, {10, 20, 10},  {-10, 20, 10},  {-10, -20, 10}, {10, -30, -10},
                      {10, 20, -10}, {-10, 20, -10}, {-10, -20, -10}, {0, 30, 0}};
    table.triangles = {{0, 1, 2}, {0, 2, 3}, {0, 4, 5}, {0, 5, 1}, {4, 6, 5}, {4, 7, 6}, {3, 6, 7},
                       {3, 2, 6}, {0, 7, 4}, {0, 3, 7}, {1, 8, 2}, {1, 5, 8}, {5, 6, 8}, {2, 8, 6}};
    return table;
}

ModelTable BoxTable()
{
    ModelTable table;
    table.vertices = {{20, -10, 10},  {20, -10, -10},  {20, 10, -10},  {20, 10, 10},
                      {-20, -10, 10}, {-20, -10, -10}, {-20, 10, -10}, {-20, 10, 10}};
    table.triangles = {{0, 1, 2}, {0, 2, 3}, {4, 6, 5}, {4, 7, 6}, {0, 7, 4}, {0, 3, 7},
                       {2, 7, 3}, {2, 6, 7}, {1, 6, 2}, {1, 5, 6}, {0, 5, 1}, {0, 4, 5}};
    return table;
}

Polyhedron BuildCube(const Vec3& centre) { return BuildPolyhedron(CubeTable(), centre); }
Polyhedron BuildRhombicPrism(const Vec3& centre) { return BuildPolyhedron(RhombicPrismTable(), centre); }
Polyhedron BuildIcosahedron(const Vec3& centre) { return BuildPolyhedron(IcosahedronTable(), centre); }
Polyhedron BuildPyramid(const Vec3& centre) { return BuildPolyhedron(PyramidTable(), centre); }
Polyhedron BuildPointedBar(const Vec3& centre) { return BuildPolyhedron(PointedBarTable(), centre); }
Polyhedron BuildBox(const Vec3& centre) { return BuildPolyhedron(BoxTable(), centre); }

const std::array<CatalogueEntry, 6>& Catalogue()
{
    static const std::array<CatalogueEntry, 6> entries{{
        {"cube", BuildCube},
        {"rhombic-prism", BuildRhombicPrism},
        {"icosahedron", BuildIcosahedron},
        {"pyramid", BuildPyramid},
        {"pointed-bar", BuildPointedBar},
        {"box", BuildBox},
    }};
    return entries;
}

const CatalogueEntry* FindCatalogueModel(std::string_view name)
{
    for (const CatalogueEntry& entry : Catalogue()) {
        if (name == entry.name) return &entry;
    }
    return nullptr;
}

}  // namespace vorlane
