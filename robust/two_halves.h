// Splitting work between two cores. Each part writes only its own items,
// so the result is the same as one thread's, whatever the timing.
#pragma once

#include <cstddef>
#include <exception>
#include <thread>

namespace vorlane {

// Below this many items a second thread costs more than it saves.
constexpr std::size_t HalvesFrom = 8192;

// Runs first and second, on two threads when parallel, else in turn. An
// exception from either comes out of this call once both are done.
template <class F, class G>
void BothAtOnce(bool parallel, F&& first, G&& second)
{
    if (!parallel) {
        first();
        second();
        return;
    }
    std::exception_ptr failure;
    std::thread other([&] {
        try {
            second();
        } catch (...) {
            failure = std::current_exception();
        }
    });
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
// > 1 and n is large enough.
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

}  // namespace vorlane
