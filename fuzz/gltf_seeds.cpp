// Writes the glTF fuzzers' seeds: one small morph in every form the tool
// writes (binary and text, plain and compressed) and a textured cube, each
// behind its form byte (0 for .glb).
#include <fstream>
#include <iterator>
#include <string>

#include "geometry/model_catalogue.h"
#include "gltf_files.h"
#include "io/gltf_writer.h"
#include "robust/merge_meshes.h"

int main(int argc, char** argv)
{
    if (argc != 2) return 2;
    const std::string folder = argv[1];
    const vorlane::Polyhedron source = vorlane::BuildCube({});
    const vorlane::Polyhedron target = vorlane::BuildIcosahedron({});
    const vorlane::MorphMesh mesh = vorlane::MergeMeshes(source, target).mesh;
    const struct {
        const char* name;
        vorlane::GltfContainer container;
        bool compress;
    } forms[] = {{"plain.glb", vorlane::GltfContainer::Binary, false}, {"plain.gltf", vorlane::GltfContainer::Text, false},
                 {"small.glb", vorlane::GltfContainer::Binary, true}, {"small.gltf", vorlane::GltfContainer::Text, true}};
    for (const auto& form : forms) {
        const std::string written = folder + "/written-" + form.name;
        if (!vorlane::WriteGltfMorph(mesh, written, form.container, {form.compress, 1}).empty()) return 1;
        std::ifstream in(written, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::ofstream(folder + "/" + form.name, std::ios::binary) << (form.container == vorlane::GltfContainer::Text ? '\1' : '\0') << bytes;
        std::remove(written.c_str());
    }
    // note: the textured cube, plain and meshopt-packed, for the input-mesh fuzzer.
    vorlane::test::CubeGltfOptions packed;
    packed.mode = "ATTRIBUTES";
    std::ofstream(folder + "/textured.glb", std::ios::binary) << '\0' << vorlane::test::CubeGltf().Glb();
    std::ofstream(folder + "/packed.glb", std::ios::binary) << '\0' << vorlane::test::CubeGltf(packed).Glb();
    return 0;
}
