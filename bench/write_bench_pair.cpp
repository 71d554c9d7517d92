// vorlane-bench-pair LEVEL DIR: writes the benchmark pair of one level as
// OFF files, DIR/ico LEVEL.off (an icosphere of 20 * 4^LEVEL triangles) and
// DIR/cs LEVEL.off (a rotated cube-sphere of about as many), for timing the
// whole tool from files. Level 6 is 81,920 against 82,668 triangles, level 8
// 1.31 million each.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/mesh_generator.h"

namespace {

bool WriteOff(const vorlane::ModelTable& table, const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (!file) return false;
    std::fprintf(file, "OFF\n%zu %zu 0\n", table.vertices.size(), table.triangles.size());
    for (const vorlane::Vec3& v : table.vertices) std::fprintf(file, "%.9g %.9g %.9g\n", v.x, v.y, v.z);
    for (const vorlane::Triangle& t : table.triangles) std::fprintf(file, "3 %d %d %d\n", t[0], t[1], t[2]);
    return std::fclose(file) == 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const int level = argc == 3 ? std::atoi(argv[1]) : -1;
    if (level < 0 || level > 9) {
        std::fprintf(stderr, "usage: vorlane-bench-pair LEVEL DIR (LEVEL 0 to 9)\n");
        return 2;
    }
    const std::string directory = argv[2];
    const std::string name = std::to_string(level) + ".off";
    if (!WriteOff(vorlane::Icosphere(level, 50.0f), directory + "/ico" + name) ||
        !WriteOff(vorlane::BenchCubeSphere(level), directory + "/cs" + name)) {
        std::fprintf(stderr, "vorlane-bench-pair: cannot write into %s\n", directory.c_str());
        return 1;
    }
    return 0;
}
