// Mesh tables hold int32_t indices and containers take std::size_t: one
// helper instead of a cast at every use.
#pragma once

#include <cstddef>
#include <type_traits>

namespace vorlane {

// c[i] for an integral index i, which must be in range (not checked: this
// sits in the innermost loops of every mesh pass).
template <class Container, class Index>
constexpr decltype(auto) At(Container& c, Index i)
{
    static_assert(std::is_integral_v<Index>, "an index is an integer");
    return c[static_cast<std::size_t>(i)];
}

}  // namespace vorlane
