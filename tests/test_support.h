// Helpers shared by the core tests: captured faults, a scratch working
// directory, meshes written as files.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "geometry/polyhedron.h"
#include "literal/fault_sink.h"

namespace vorlane::test {

// Collects every fault reported while it lives, as "caption|text".
class FaultCapture {
public:
    FaultCapture()
    {
        previous_ = SetFaultSink([this](const std::string& caption, const std::string& text) {
            faults_.push_back(caption + "|" + text);
        });
    }
    ~FaultCapture() { SetFaultSink(std::move(previous_)); }
    FaultCapture(const FaultCapture&) = delete;
    FaultCapture& operator=(const FaultCapture&) = delete;

    const std::vector<std::string>& faults() const { return faults_; }

private:
    FaultSink previous_;
    std::vector<std::string> faults_;
};

// Runs the test in a fresh empty working directory, removed afterwards, so
// the dump files of parallel tests never meet.
class ScratchDirectory {
public:
    ScratchDirectory()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "vorlane-test-XXXXXX").string();
        path_ = mkdtemp(pattern.data()) ? pattern : std::string();
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(path_);
    }
    ~ScratchDirectory()
    {
        std::error_code ignored;
        std::filesystem::current_path(previous_, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
    std::filesystem::path previous_;
};

inline std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Writes table as an OFF file, each float exactly.
inline void WriteOff(const std::filesystem::path& path, const ModelTable& table)
{
    std::ofstream out(path);
    out.precision(9);
    out << "OFF\n" << table.vertices.size() << ' ' << table.triangles.size() << " 0\n";
    for (const Vec3& v : table.vertices) out << v.x << ' ' << v.y << ' ' << v.z << '\n';
    for (const Triangle& t : table.triangles) out << "3 " << t[0] << ' ' << t[1] << ' ' << t[2] << '\n';
}

// A table with triangle t taken out, or wound the other way: the smallest
// faults a check of a closed, oriented surface must find.
inline ModelTable WithoutTriangle(ModelTable table, size_t t)
{
    table.triangles.erase(table.triangles.begin() + static_cast<std::ptrdiff_t>(t));
    return table;
}

inline ModelTable WithTriangleReversed(ModelTable table, size_t t)
{
    std::swap(table.triangles[t][1], table.triangles[t][2]);
    return table;
}

// Two tables as one, the second's vertices moved by shift.
inline ModelTable Joined(ModelTable table, const ModelTable& other, const Vec3& shift = {})
{
    const auto offset = static_cast<int32_t>(table.vertices.size());
    for (const Vec3& v : other.vertices) table.vertices.push_back({v.x + shift.x, v.y + shift.y, v.z + shift.z});
    for (const Triangle& f : other.triangles) table.triangles.push_back({f[0] + offset, f[1] + offset, f[2] + offset});
    return table;
}

}  // namespace vorlane::test
