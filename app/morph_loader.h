// Reads or merges the morph the window shows, on a thread of its own so the
// window stays live, and can be stopped part way. No Qt.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "base/progress.h"
#include "command_line/viewer_arguments.h"
#include "geometry/polyhedron.h"
#include "render/morph_arrays.h"

namespace vorlane {

struct LoadedMorph {
    // Empty on success; otherwise the one line vorlane-merge prints.
    std::string error;
    MorphArrays arrays;
    MorphArrays coarse;  // CoarseMorphArrays of arrays: empty for small morphs
    MorphPlacement placement;
    std::unique_ptr<Polyhedron> sourceModel;  // null for a morph file
};

// Merges the pair through RunMorphJob, or reads the morph file, then places
// and flattens the morph's triangles. Lets whatever progress throws pass.
LoadedMorph LoadMorph(const ViewerInput& input, const Progress& progress = {});

// LoadMorph on its own thread, started at construction (or, when no thread
// can be had, run within it).
class MorphLoader {
public:
    explicit MorphLoader(ViewerInput input);
    // Cancels and waits for the thread.
    ~MorphLoader();
    MorphLoader(const MorphLoader&) = delete;
    MorphLoader& operator=(const MorphLoader&) = delete;

    // Asks the load to stop at its next progress report and waits until it
    // has; Take then answers the error "cancelled".
    void Cancel();
    bool Done() const { return done_; }
    // The phase last reported and its fraction.
    std::string Phase(double& fraction) const;
    // The result, once Done; afterwards the loader holds nothing.
    LoadedMorph Take();

private:
    void Run(const ViewerInput& input);

    std::atomic<bool> cancelled_{false};
    std::atomic<bool> done_{false};
    mutable std::mutex mutex_;
    std::string phase_;
    double fraction_ = 0.0;
    LoadedMorph result_;
    std::thread thread_;  // last: it starts once everything above exists
};

}  // namespace vorlane
