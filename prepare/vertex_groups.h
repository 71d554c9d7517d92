// Items joined a pair at a time into groups (union-find with path halving),
// each group named by its lowest item, so a group's root is its first.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vorlane {

inline int32_t GroupOf(std::vector<int32_t>& parent, int32_t i)
{
    while (parent[static_cast<std::size_t>(i)] != i) {
        parent[static_cast<std::size_t>(i)] = parent[static_cast<std::size_t>(parent[static_cast<std::size_t>(i)])];
        i = parent[static_cast<std::size_t>(i)];
    }
    return i;
}

inline void JoinGroups(std::vector<int32_t>& parent, int32_t a, int32_t b)
{
    a = GroupOf(parent, a);
    b = GroupOf(parent, b);
    if (a != b) parent[static_cast<std::size_t>(std::max(a, b))] = std::min(a, b);
}

}  // namespace vorlane
