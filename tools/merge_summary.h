// The line vorlane-merge prints for a merge: its counts, and for the -o form
// each mesh's map onto the sphere, the path, what preparing mended and what
// simplifying did. Scripts read it, so its words stay.
#pragma once

#include <string>

#include "pipeline/morph_job.h"

namespace vorlane {

// The counts of a merge, then details (empty for the demo's form).
std::string MergeSummary(const std::string& source, const std::string& target, const MergedModels& merged,
                         const std::string& details = {});

// The -o form's words after the counts: the target's map as it was made,
// before any turn to meet the source.
std::string FileFormDetails(const MorphRequest& request, const MorphJob& job);

}  // namespace vorlane
