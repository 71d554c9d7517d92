#include "literal/edge_list.h"

#include <array>
#include <cassert>
#include <cmath>
#include <map>
#include <new>
#include <vector>

#include "literal/fault_sink.h"

namespace vorlane {
namespace {

using PointKey = std::array<int32_t, 3>;

// An ordered map gives the list's order without walking it from the head.
// Values of one edge are kept oldest first, so the newest is at the back.
struct EdgeListState {
    std::map<IndexPair, std::vector<int32_t>> edges;
    std::map<PointKey, int32_t> points;
    int32_t counter = 0;
};

EdgeListState& TheList()
{
    static EdgeListState list;
    return list;
}

void CheckEmptied(const EdgeListState& list, const char* caption)
{
    if (list.counter != 0) ReportFault(caption, "Size error!");
}

}  // namespace

int32_t QuantiseCoordinate(float c)
{
    double key = static_cast<double>(c) * 1000.0 + 0.5;
    // Out-of-range keys would be undefined as int32; pin them to the ends.
    if (!(key > -2147483648.0)) key = -2147483648.0;
    if (key > 2147483647.0) key = 2147483647.0;
    return static_cast<int32_t>(key);
}

void InsertList(const IndexPair& p, int32_t added)
{
    if (p.from == p.to) return;
    EdgeListState& list = TheList();
    assert(list.points.empty());
    const IndexPair key{std::min(p.from, p.to), std::max(p.from, p.to)};
    try {
        auto [it, inserted] = list.edges.try_emplace(key);
        if (!inserted && added < 0) return;
        it->second.push_back(added);
    } catch (const std::bad_alloc&) {
        ReportFault("InsertList", "malloc error");
        return;
    }
    ++list.counter;
}

int32_t InsertList(const Vec3& point, int32_t value)
{
    EdgeListState& list = TheList();
    assert(list.edges.empty());
    const PointKey key{QuantiseCoordinate(point.x), QuantiseCoordinate(point.y), QuantiseCoordinate(point.z)};
    try {
        auto [it, inserted] = list.points.try_emplace(key, value);
        if (!inserted) return it->second;
    } catch (const std::bad_alloc&) {
        ReportFault("InsertList", "malloc error");
        return -1;
    }
    ++list.counter;
    return -1;
}

int32_t CountList()
{
    return TheList().counter;
}

int32_t GetNextAdded(int32_t* buffer, int32_t size)
{
    assert(size >= 4);
    EdgeListState& list = TheList();
    assert(list.points.empty());
    if (list.edges.empty()) {
        buffer[size - 1] = 0;
        return 0;
    }
    auto first = list.edges.begin();
    buffer[size - 3] = first->first.from;
    buffer[size - 2] = first->first.to;
    std::vector<int32_t>& values = first->second;
    const int32_t capacity = size - 3;
    int32_t taken = 0;
    while (!values.empty() && taken < capacity) {
        buffer[taken++] = values.back();
        values.pop_back();
        --list.counter;
        if (taken == capacity) ReportFault("GetNextAdded", "max size return error!");
    }
    if (values.empty()) list.edges.erase(first);
    buffer[size - 1] = taken;
    return 1;
}

void CopyList(IndexPair* out)
{
    EdgeListState& list = TheList();
    assert(list.points.empty());
    size_t i = 0;
    for (const auto& [edge, values] : list.edges) {
        for (size_t n = 0; n < values.size(); ++n) out[i++] = edge;
    }
    list.counter -= static_cast<int32_t>(i);
    list.edges.clear();
    CheckEmptied(list, "CopyList");
}

void CleanList()
{
    EdgeListState& list = TheList();
    size_t removed = list.points.size();
    for (const auto& entry : list.edges) removed += entry.second.size();
    list.counter -= static_cast<int32_t>(removed);
    list.edges.clear();
    list.points.clear();
    CheckEmptied(list, "CleanList");
}

}  // namespace vorlane
