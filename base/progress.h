// How long work tells how far it is, the same for every stage.
#pragma once

#include <functional>
#include <string_view>

namespace vorlane {

// Called now and then (never per element) from one thread at a time with
// the phase running and the fraction of it done, 0..1. A view, so that the
// merge's fixed phase names cost no string.
using Progress = std::function<void(std::string_view phase, double fraction)>;

}  // namespace vorlane
