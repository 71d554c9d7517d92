// Items filed by vertex in two flat tables, each vertex's sorted: a counting
// pass and a small sort a vertex, where one sort of millions of records took
// a tenth of a large run, and no allocation a vertex.
#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

namespace vorlane {

template <class Item>
struct ByVertex {
    std::vector<std::size_t> first;  // vertex v's items are [first[v], first[v + 1])
    std::vector<Item> items;

    // file(visit) calls visit(vertex, item) for every item; it is called
    // twice and must visit the same items both times.
    template <class File>
    ByVertex(std::size_t vertexCount, File file) : first(vertexCount + 1, 0)
    {
        file([&](std::size_t v, const Item&) { ++first[v + 1]; });
        for (std::size_t v = 0; v < vertexCount; ++v) first[v + 1] += first[v];
        items.resize(first[vertexCount]);
        std::vector<std::size_t> fill(first.begin(), first.end() - 1);
        file([&](std::size_t v, const Item& item) { items[fill[v]++] = item; });
        for (std::size_t v = 0; v < vertexCount; ++v) std::sort(Begin(v), End(v));
    }

    typename std::vector<Item>::iterator Begin(std::size_t v) { return items.begin() + static_cast<std::ptrdiff_t>(first[v]); }
    typename std::vector<Item>::iterator End(std::size_t v) { return items.begin() + static_cast<std::ptrdiff_t>(first[v + 1]); }
    const Item* Data(std::size_t v) const { return items.data() + first[v]; }
    std::size_t Size(std::size_t v) const { return first[v + 1] - first[v]; }

    // Drops repeats from every vertex's items.
    void Unique()
    {
        std::size_t kept = 0;
        for (std::size_t v = 0; v + 1 < first.size(); ++v) {
            const auto last = std::unique(Begin(v), End(v));
            const std::size_t from = first[v];
            first[v] = kept;
            for (auto it = items.begin() + static_cast<std::ptrdiff_t>(from); it != last; ++it) items[kept++] = *it;
        }
        first.back() = kept;
        items.resize(kept);
    }
};

}  // namespace vorlane
