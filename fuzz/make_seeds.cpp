// Writes the fuzzer's seed corpus: the tests' small files of every format,
// each behind its format byte.
#include <fstream>
#include <string>

#include "io/mesh_files.h"

int main(int argc, char** argv)
{
    if (argc != 2) return 2;
    using namespace vorlane::test;
    const struct {
        const char* name;
        char format;
        std::string bytes;
    } seeds[] = {
        {"cube-obj", 0, CubeObj()},
        {"cube-off", 1, CubeOff()},
        {"cube-coff", 1, CubeOff("COFF", " 255 0 0")},
        {"cube-ply-ascii", 2, CubePlyAscii()},
        {"cube-ply-little", 2, CubePlyBinary(false)},
        {"cube-ply-big", 2, CubePlyBinary(true)},
        {"cube-stl-ascii", 3, CubeStlAscii()},
        {"cube-stl-binary", 3, CubeStlBinary()},
    };
    for (const auto& seed : seeds) {
        std::ofstream out(std::string(argv[1]) + "/" + seed.name, std::ios::binary);
        out << seed.format << seed.bytes;
        if (!out) return 1;
    }
    return 0;
}
