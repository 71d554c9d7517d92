// The simplify stage's queue of candidate collapses: cheapest first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace vorlane {

struct Candidate {
    float cost;
    int32_t u, v;    // u < v
    uint32_t stamp;  // the ends' versions summed when pushed: they only grow, so any change shows
};

// Cheaper first; ties to the lower pair, so runs repeat.
inline bool Before(const Candidate& a, const Candidate& b)
{
    if (a.cost != b.cost) return a.cost < b.cost;
    return a.u != b.u ? a.u < b.u : a.v < b.v;
}

// A four-way heap: half the levels of a binary one, and a node's four
// children share one cache line, which is what a pop costs on a heap of
// millions of candidates.
class CandidateHeap {
public:
    bool Empty() const { return items_.empty(); }
    std::size_t Size() const { return items_.size(); }

    // Takes items as a whole new heap, in linear time.
    void Assign(std::vector<Candidate> items)
    {
        items_ = std::move(items);
        for (std::size_t i = items_.size() / 4 + 1; i-- > 0;) SiftDown(i);
    }

    void Push(const Candidate& c)
    {
        items_.push_back(c);
        std::size_t i = items_.size() - 1;
        while (i > 0) {
            const std::size_t parent = (i - 1) / 4;
            if (!Before(c, items_[parent])) break;
            items_[i] = items_[parent];
            i = parent;
        }
        items_[i] = c;
    }

    // The cheapest; the heap must not be empty.
    Candidate Pop()
    {
        const Candidate top = items_.front();
        items_.front() = items_.back();
        items_.pop_back();
        if (!items_.empty()) SiftDown(0);
        return top;
    }

private:
    void SiftDown(std::size_t i)
    {
        const Candidate c = items_[i];
        const std::size_t n = items_.size();
        for (;;) {
            const std::size_t first = 4 * i + 1;
            if (first >= n) break;
            std::size_t best = first;
            const std::size_t last = first + 4 < n ? first + 4 : n;
            for (std::size_t k = first + 1; k < last; ++k)
                if (Before(items_[k], items_[best])) best = k;
            if (!Before(items_[best], c)) break;
            items_[i] = items_[best];
            i = best;
        }
        items_[i] = c;
    }

    std::vector<Candidate> items_;
};

}  // namespace vorlane
