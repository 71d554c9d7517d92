// libFuzzer target for glTF read as an input mesh: the first byte picks
// .glb (even) or .gltf (odd), the rest is the file. Any crash, hang, leak
// or sanitizer report is a finding; so is a result that breaks the reader's
// promise.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "io/mesh_reader.h"

namespace {

void Require(bool promise)
{
    if (!promise) __builtin_trap();
}

bool Fraction(float value) { return value >= 0.0f && value <= 1.0f; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) return 0;
    const vorlane::MeshFormat format = data[0] % 2 ? vorlane::MeshFormat::Gltf : vorlane::MeshFormat::Glb;
    const std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    const vorlane::MeshReadResult result = vorlane::ReadMeshBytes(bytes, format, "input", [](std::string_view, double f) {
        Require(f >= 0.0 && f <= 1.0);
    });
    if (!result.error.empty()) {
        Require(result.error.rfind("input: ", 0) == 0);
        for (const char c : result.error) Require(static_cast<unsigned char>(c) >= 0x20 && c != 0x7f);
        Require(result.table.vertices.empty() && result.colours.empty());
        return 0;
    }
    const vorlane::ModelTable& table = result.table;
    Require(!table.triangles.empty());
    for (const vorlane::Vec3& v : table.vertices) Require(std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z));
    for (const vorlane::Triangle& t : table.triangles)
        for (int32_t corner : t) Require(corner >= 0 && static_cast<size_t>(corner) < table.vertices.size());
    Require(result.colours.empty() || result.colours.size() == table.vertices.size());
    for (const vorlane::Vec3& c : result.colours) Require(Fraction(c.x) && Fraction(c.y) && Fraction(c.z));
    return 0;
}
