// Splitting work between two cores. Each part writes only its own items,
// so the result is the same as one thread's, whatever the timing.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <system_error>
#include <thread>
#include <type_traits>
#include <vector>

namespace vorlane {

// Below this many items a second thread costs more than it saves.
constexpr std::size_t HalvesFrom = 8192;

// Starts work on a thread of its own or, where no thread can be had (a
// memory or process limit), runs it here and now and returns a thread that
// is not joinable.
template <class F>
std::thread StartOrRun(F&& work)
{
    // note: kept apart from the thread, which may fail to start after taking it.
    const auto task = std::make_shared<std::decay_t<F>>(std::forward<F>(work));
    try {
        return std::thread([task] { (*task)(); });
    } catch (const std::system_error&) {
        (*task)();
        return {};
    }
}

// Runs first and second, on two threads when parallel, else in turn; in
// turn too when no second thread can be had (a memory or process limit),
// which gives the same result. An exception from either comes out of this
// call once both are done.
template <class F, class G>
void BothAtOnce(bool parallel, F&& first, G&& second)
{
    std::exception_ptr failure;
    std::thread other;
    if (parallel) {
        try {
            other = std::thread([&] {
                try {
                    second();
                } catch (...) {
                    failure = std::current_exception();
                }
            });
        } catch (const std::system_error&) {
            parallel = false;
        }
    }
    if (!parallel) {
        first();
        second();
        return;
    }
    try {
        first();
    } catch (...) {
        other.join();
        throw;
    }
    other.join();
    if (failure) std::rethrow_exception(failure);
}

// Calls f(begin, end) for [0, split) and [split, n), at once when threads
// > 1 and n is large enough. split must not exceed n; without it, n / 2.
template <class F>
void InTwoHalves(int threads, std::size_t n, std::size_t split, F&& f)
{
    BothAtOnce(threads > 1 && n >= HalvesFrom, [&] { f(std::size_t{0}, split); }, [&] { f(split, n); });
}

template <class F>
void InTwoHalves(int threads, std::size_t n, F&& f)
{
    InTwoHalves(threads, n, n / 2, f);
}

// Calls f(begin, end, fromFront) over [0, n) a stretch at a time, one
// thread taking stretches from the front and the other from the back till
// they meet: where the work per item is uneven, or one core slower, neither
// waits for the other as at a fixed half. The back's stretches come last
// first. One call over all of it when threads < 2 or n is small; none
// when n is 0. stretch must be above 0.
template <class F>
void FromBothEnds(int threads, std::size_t n, std::size_t stretch, F&& f)
{
    if (threads < 2 || n < HalvesFrom) {
        if (n > 0) f(std::size_t{0}, n, true);
        return;
    }
    const std::size_t stretches = (n + stretch - 1) / stretch;
    // Every claim that finds one left gets a stretch: the two ends never
    // take the same one, and together they take all.
    std::atomic<std::ptrdiff_t> left{static_cast<std::ptrdiff_t>(stretches)};
    const auto claim = [&] { return left.fetch_sub(1, std::memory_order_relaxed) > 0; };
    BothAtOnce(
        true,
        [&] {
            for (std::size_t k = 0; claim(); ++k) f(k * stretch, std::min(n, (k + 1) * stretch), true);
        },
        [&] {
            for (std::size_t k = stretches; claim(); --k) f((k - 1) * stretch, std::min(n, k * stretch), false);
        });
}

// A T on cache lines of its own, for the tables each of two threads fills:
// side by side on one stack or in one array, two plain T would share the
// line their every push writes. T must be a class; pass it where a T& goes.
template <class T>
struct alignas(64) OwnCacheLine : T {};

// Flags, all clear at first, that one part of a split sets and the other
// reads. A set flag may be seen late (no ordering): only for hints whose
// late sight costs time, never a different result. Indices below size().
class SharedFlags {
public:
    SharedFlags() = default;
    explicit SharedFlags(std::size_t count) : flags_(count) {}

    void Set(std::size_t i) { flags_[i].store(1, std::memory_order_relaxed); }
    bool IsSet(std::size_t i) const { return flags_[i].load(std::memory_order_relaxed) != 0; }
    std::size_t size() const { return flags_.size(); }

private:
    std::vector<std::atomic<std::uint8_t>> flags_;
};

}  // namespace vorlane
