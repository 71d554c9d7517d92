// What the output tests share: a small merged mesh with folded vertices,
// and a shell command's exit status.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "geometry/model_catalogue.h"
#include "literal/merge_topologies.h"

namespace vorlane::test {

// The original merge of two catalogue models: folded vertices included.
inline MorphMesh TopologyMerge()
{
    vorlane::Polyhedron source = vorlane::BuildIcosahedron(Vec3{});
    vorlane::Polyhedron target = vorlane::BuildCube(Vec3{});
    return vorlane::MergeTopologies(source, target);
}

inline int RunShell(const std::string& command)
{
    const int raw = std::system(command.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

}  // namespace vorlane::test
