#include "io/mesh_reader.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "files/input_file.h"
#include "io/mesh_reader_internal.h"

namespace vorlane {

namespace {

using mesh_reading::ReadMeter;
using mesh_reading::ReadFailure;

// Where a file's own files lie, for the formats that name others.
struct ReadPlace {
    std::optional<std::string> folder;
    std::vector<int32_t>* renumbered;
    std::vector<Vec3>* colours;
    std::vector<std::string>* warnings;
};

ModelTable Read(std::string_view bytes, MeshFormat format, const ReadMeter& progress, const ReadPlace& place)
{
    if (bytes.empty()) throw ReadFailure("the file is empty");
    switch (format) {
        case MeshFormat::Obj:
            return mesh_reading::ReadObj(bytes, progress, place.folder, place.renumbered, *place.colours, *place.warnings);
        case MeshFormat::Off: return mesh_reading::ReadOff(bytes, progress, place.renumbered);
        case MeshFormat::Ply: return mesh_reading::ReadPly(bytes, progress, place.renumbered, *place.colours);
        case MeshFormat::Stl: return mesh_reading::ReadStl(bytes, progress);
        case MeshFormat::Gltf:
        case MeshFormat::Glb:
            return mesh_reading::ReadGltfMesh(bytes, format == MeshFormat::Glb, place.folder, progress, *place.colours);
    }
    throw ReadFailure("unknown format");
}

// The file's bytes, mapped rather than copied: the page cache is the buffer.
class MappedFile {
public:
    MappedFile() = default;
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    ~MappedFile()
    {
        if (data_) munmap(data_, size_);
    }

    // False with the reason when the file cannot be opened or mapped.
    bool Open(const std::string& path, std::string& reason)
    {
        const int descriptor = OpenRegularFileForReading(path, reason);
        if (descriptor < 0) return false;
        struct stat status {};
        bool mapped = fstat(descriptor, &status) == 0;
        if (mapped && status.st_size > 0) {
            size_ = static_cast<std::size_t>(status.st_size);
            void* data = mmap(nullptr, size_, PROT_READ, MAP_PRIVATE | MAP_POPULATE, descriptor, 0);
            mapped = data != MAP_FAILED;
            data_ = mapped ? data : nullptr;
            if (!mapped) size_ = 0;
        }
        if (!mapped) reason = std::string("cannot open: ") + std::strerror(errno);
        close(descriptor);
        return mapped;
    }
    std::string_view Bytes() const { return {static_cast<const char*>(data_), size_}; }

private:
    void* data_ = nullptr;
    std::size_t size_ = 0;
};

// Runs read, turning what it throws into the one line that names the mesh.
template <typename ReadTable>
MeshReadResult Guarded(const std::string& name, ReadTable read)
{
    MeshReadResult result;
    try {
        result.table = read();
    } catch (const ReadFailure& failure) {
        result.error = name + ": " + failure.what();
    } catch (const std::bad_alloc&) {
        result.error = name + ": too large to read into memory";
    } catch (const std::exception& failure) {
        result.error = name + ": cannot be read: " + mesh_reading::Escaped(failure.what());
    } catch (...) {
        result.error = name + ": cannot be read";
    }
    if (!result.error.empty()) result.table = ModelTable{};
    return result;
}

MeshReadResult ReadBytes(std::string_view bytes, MeshFormat format, const std::string& name,
                         const Progress& progress, std::optional<std::string> folder)
{
    std::vector<int32_t> renumbered;
    std::vector<Vec3> colours;
    std::vector<std::string> warnings;
    MeshReadResult result = Guarded(name, [&] {
        return Read(bytes, format, ReadMeter(&progress), {std::move(folder), &renumbered, &colours, &warnings});
    });
    if (result.error.empty()) {
        result.renumbered = std::move(renumbered);
        result.colours = std::move(colours);
        for (const std::string& warning : warnings) result.warnings.push_back(name + ": " + warning);
    }
    return result;
}

}  // namespace

bool MeshFormatOfPath(const std::string& path, MeshFormat& format)
{
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    static const std::pair<const char*, MeshFormat> formats[] = {
        {".obj", MeshFormat::Obj}, {".off", MeshFormat::Off}, {".ply", MeshFormat::Ply},
        {".stl", MeshFormat::Stl}, {".gltf", MeshFormat::Gltf}, {".glb", MeshFormat::Glb}};
    for (const auto& [name, value] : formats) {
        if (extension == name) {
            format = value;
            return true;
        }
    }
    return false;
}

MeshReadResult ReadMeshBytes(const std::string& bytes, MeshFormat format, const std::string& name)
{
    return ReadMeshBytes(bytes, format, name, Progress());
}

MeshReadResult ReadMeshBytes(const std::string& bytes, MeshFormat format, const std::string& name,
                             const Progress& progress)
{
    return ReadBytes(bytes, format, name, progress, std::nullopt);
}

MeshReadResult ReadMeshArrays(const std::vector<Vec3>& points, const std::vector<int64_t>& corners,
                              const std::string& name, std::vector<int32_t>* renumbered)
{
    std::vector<int32_t> slot;
    MeshReadResult result = Guarded(name, [&] {
        if (points.empty()) throw ReadFailure("there are no vertices");
        if (points.size() > INT32_MAX) throw ReadFailure("there are more vertices than 32-bit indices count");
        for (std::size_t v = 0; v < points.size(); ++v) {
            const Vec3& p = points[v];
            if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z))
                throw ReadFailure("vertex " + std::to_string(v) + " has a coordinate that is not a finite number");
        }
        if (corners.size() % 3 != 0) throw ReadFailure("the faces do not come in threes");
        ModelTable table;
        slot.assign(points.size(), -1);
        for (std::size_t c = 0; c < corners.size(); c += 3) {
            Triangle t{};
            for (std::size_t k = 0; k < 3; ++k) {
                const int64_t index = corners[c + k];
                if (index < 0 || static_cast<uint64_t>(index) >= points.size())
                    throw ReadFailure("triangle " + std::to_string(c / 3) + " refers to vertex " + std::to_string(index) +
                                      ", but there are only " + std::to_string(points.size()) + " vertices");
                t[k] = static_cast<int32_t>(index);
            }
            // note: a repeated corner adds no area, as in a file.
            if (t[0] == t[1] || t[1] == t[2] || t[2] == t[0]) continue;
            for (int32_t corner : t) slot[static_cast<std::size_t>(corner)] = 0;
            table.triangles.push_back(t);
        }
        if (table.triangles.empty()) throw ReadFailure("there are no faces");
        for (std::size_t v = 0; v < points.size(); ++v) {
            if (slot[v] < 0) continue;
            slot[v] = static_cast<int32_t>(table.vertices.size());
            table.vertices.push_back(points[v]);
        }
        for (Triangle& t : table.triangles) {
            for (int32_t& corner : t) corner = slot[static_cast<std::size_t>(corner)];
        }
        return table;
    });
    if (renumbered) *renumbered = result.error.empty() ? std::move(slot) : std::vector<int32_t>{};
    return result;
}

MeshReadResult ReadMeshFile(const std::string& path)
{
    return ReadMeshFile(path, Progress());
}

MeshReadResult ReadMeshFile(const std::string& path, const Progress& progress)
{
    MeshReadResult result;
    MeshFormat format{};
    if (!MeshFormatOfPath(path, format)) {
        const std::string extension = std::filesystem::path(path).extension().string();
        result.error = path + ": unknown mesh format '" + extension + "' (expected .obj, .off, .ply, .stl, .gltf or .glb)";
        return result;
    }
    MappedFile file;
    std::string reason;
    if (!file.Open(path, reason)) {
        result.error = path + ": " + reason;
        return result;
    }
    return ReadBytes(file.Bytes(), format, path, progress, std::filesystem::path(path).parent_path().string());
}

}  // namespace vorlane
