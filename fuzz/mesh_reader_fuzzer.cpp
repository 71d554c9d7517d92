// libFuzzer target for the mesh file readers: the first byte picks the
// format, the rest is the file. Any crash, hang, leak or sanitizer report is
// a finding; so is a result that breaks the reader's promise.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "io/mesh_reader.h"

namespace {

void Require(bool promise)
{
    if (!promise) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) return 0;
    static const vorlane::MeshFormat formats[] = {vorlane::MeshFormat::Obj, vorlane::MeshFormat::Off,
                                                  vorlane::MeshFormat::Ply, vorlane::MeshFormat::Stl};
    const vorlane::MeshFormat format = formats[data[0] % 4];
    const std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    const vorlane::MeshReadResult result =
        vorlane::ReadMeshBytes(bytes, format, "input", [](std::string_view phase, double fraction) {
            Require(!phase.empty() && fraction >= 0.0 && fraction <= 1.0);
        });

    if (!result.error.empty()) {
        Require(result.error.rfind("input: ", 0) == 0);
        for (const char c : result.error) Require(static_cast<unsigned char>(c) >= 0x20 && c != 0x7f);
        Require(result.table.vertices.empty() && result.table.triangles.empty());
        return 0;
    }
    const vorlane::ModelTable& table = result.table;
    Require(!table.vertices.empty() && !table.triangles.empty());
    for (const vorlane::Vec3& v : table.vertices) Require(std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z));
    std::vector<char> used(table.vertices.size(), 0);
    for (const vorlane::Triangle& t : table.triangles) {
        for (int32_t corner : t) {
            Require(corner >= 0 && static_cast<size_t>(corner) < table.vertices.size());
            used[static_cast<size_t>(corner)] = 1;
        }
    }
    for (char u : used) Require(u != 0);
    return 0;
}
