#include "correspond/decimated_mesh.h"

#include <algorithm>

#include "embed/edge_collapse.h"

namespace vorlane {

DecimatedMesh DecimateMesh(const ModelTable& table, int32_t cap)
{
    cap = std::max<int32_t>(cap, 4);
    DecimatedMesh coarse;
    const int32_t n = static_cast<int32_t>(table.vertices.size());
    CollapseMesh mesh = BuildCollapseMesh(table);
    const std::vector<EdgeCollapse> collapses = CollapseToTetrahedron(mesh, table.vertices, {});
    // Coarse first: the tetrahedron's corners, then the vertices in the order they come back.
    std::vector<int32_t> order;
    order.reserve(static_cast<std::size_t>(std::min(n, cap)));
    for (int32_t v = 0; v < n; ++v)
        if (mesh.outgoing[static_cast<std::size_t>(v)] >= 0) order.push_back(v);
    for (std::size_t i = collapses.size(); i-- > 0 && static_cast<int32_t>(order.size()) < cap;) {
        UndoCollapse(mesh, collapses[i]);
        order.push_back(collapses[i].removed);
    }
    std::vector<int32_t> local(static_cast<std::size_t>(n), -1);
    for (int32_t v : order) {
        local[static_cast<std::size_t>(v)] = static_cast<int32_t>(coarse.points.size());
        coarse.points.push_back(ToD(table.vertices[static_cast<std::size_t>(v)]));
        coarse.original.push_back(v);
    }
    for (std::size_t t = 0; t < mesh.triangles.size(); ++t) {
        if (!mesh.live[t]) continue;
        const Triangle& corners = mesh.triangles[t];
        coarse.triangles.push_back({local[static_cast<std::size_t>(corners[0])], local[static_cast<std::size_t>(corners[1])],
                                    local[static_cast<std::size_t>(corners[2])]});
    }
    return coarse;
}

}  // namespace vorlane
