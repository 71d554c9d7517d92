#include "merge/merge_models.h"

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "geometry/model_catalogue.h"

namespace vorlane {
namespace {

// The robust merge refuses a map its check refuses, the source's fault
// first, on one thread and on two, and says "validating" once per model;
// the demo's merge takes what it is given.
TEST(MergeModels, RobustRefusesABadMapSourceFirst)
{
    const Polyhedron good = BuildCube({0, 0, 0});
    const Polyhedron outside = BuildCube({20, 20, 20});  // the centre sees the cube's back
    const Polyhedron onFace = BuildCube({0, 0, 25});
    const std::string seen = " mesh refused: it is not star-shaped about its centre: triangle ";
    const struct {
        const char* name;
        const Polyhedron& source;
        const Polyhedron& target;
        std::string says;
    } cases[] = {
        {"source", outside, good, "source" + seen + "0 is seen edge-on or from behind"},
        {"target", good, onFace, "target" + seen + "8 is seen edge-on or from behind"},
        {"both", onFace, outside, "source" + seen + "8 is seen edge-on or from behind"},
        {"neither", good, good, ""},
    };
    for (const auto& c : cases) {
        for (const int threads : {1, 2}) {
            SCOPED_TRACE(std::string(c.name) + " on " + std::to_string(threads));
            std::mutex seenPhases;
            std::vector<std::string> phases;
            const MergedModels merged = MergeModels(c.source, c.target, MergeMethod::Robust, [&](std::string_view phase, double) {
                const std::lock_guard<std::mutex> lock(seenPhases);
                phases.emplace_back(phase);
            }, threads);
            EXPECT_EQ(merged.error, c.says);
            EXPECT_EQ(merged.mesh.faces.empty(), !c.says.empty());
            ASSERT_GE(phases.size(), 2u);
            EXPECT_EQ(phases[0], "validating");
            EXPECT_EQ(phases[1], "validating");
            EXPECT_EQ(phases.size() == 2, !c.says.empty());
        }
    }
    const MergedModels literal = MergeModels(outside, good, MergeMethod::Literal, {}, 1, FaceDumps::Skip);
    EXPECT_EQ(literal.error, "");
    EXPECT_GT(literal.mesh.faceCount(), 0);
}

}  // namespace
}  // namespace vorlane
