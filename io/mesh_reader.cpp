#include "io/mesh_reader.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>
#include <string_view>
#include <utility>

#include "io/mesh_reader_internal.h"

namespace vorlane {

namespace {

using mesh_reading::Progress;
using mesh_reading::ReadFailure;

ModelTable Read(std::string_view bytes, MeshFormat format, const Progress& progress)
{
    if (bytes.empty()) throw ReadFailure("the file is empty");
    switch (format) {
        case MeshFormat::Obj: return mesh_reading::ReadObj(bytes, progress);
        case MeshFormat::Off: return mesh_reading::ReadOff(bytes, progress);
        case MeshFormat::Ply: return mesh_reading::ReadPly(bytes, progress);
        case MeshFormat::Stl: return mesh_reading::ReadStl(bytes, progress);
    }
    throw ReadFailure("unknown format");
}

// The whole file in one buffer, read in large pieces so progress can be told.
bool ReadWhole(const std::string& path, std::string& bytes, std::string& error, const Progress& progress)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot open: " + std::strerror(errno);
        return false;
    }
    std::error_code sizeError;
    const auto size = std::filesystem::file_size(path, sizeError);
    bytes.resize(sizeError ? 0 : static_cast<std::size_t>(size));
    constexpr std::size_t Piece = std::size_t{16} << 20;
    std::size_t filled = 0;
    while (in) {
        if (filled == bytes.size()) bytes.resize(bytes.size() + Piece);
        const std::size_t want = std::min(Piece, bytes.size() - filled);
        in.read(bytes.data() + filled, static_cast<std::streamsize>(want));
        filled += static_cast<std::size_t>(in.gcount());
        progress.Report("reading the file", size > 0 ? static_cast<double>(filled) / static_cast<double>(size) : 1.0);
    }
    if (in.bad()) {
        error = path + ": cannot read: " + std::strerror(errno);
        return false;
    }
    bytes.resize(filled);
    return true;
}

}  // namespace

bool MeshFormatOfPath(const std::string& path, MeshFormat& format)
{
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    static const std::pair<const char*, MeshFormat> formats[] = {
        {".obj", MeshFormat::Obj}, {".off", MeshFormat::Off}, {".ply", MeshFormat::Ply}, {".stl", MeshFormat::Stl}};
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
    return ReadMeshBytes(bytes, format, name, ReadProgress());
}

MeshReadResult ReadMeshBytes(const std::string& bytes, MeshFormat format, const std::string& name,
                             const ReadProgress& progress)
{
    MeshReadResult result;
    try {
        result.table = Read(bytes, format, Progress(&progress));
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

MeshReadResult ReadMeshFile(const std::string& path)
{
    return ReadMeshFile(path, ReadProgress());
}

MeshReadResult ReadMeshFile(const std::string& path, const ReadProgress& progress)
{
    MeshReadResult result;
    MeshFormat format{};
    if (!MeshFormatOfPath(path, format)) {
        const std::string extension = std::filesystem::path(path).extension().string();
        result.error = path + ": unknown mesh format '" + extension + "' (expected .obj, .off, .ply or .stl)";
        return result;
    }
    std::error_code ignored;
    if (std::filesystem::is_directory(path, ignored)) {
        result.error = path + ": is a directory";
        return result;
    }
    // note: a pipe or a device could block or never end.
    if (std::filesystem::exists(path, ignored) && !std::filesystem::is_regular_file(path, ignored)) {
        result.error = path + ": is not a regular file";
        return result;
    }
    std::string bytes;
    if (!ReadWhole(path, bytes, result.error, Progress(&progress))) return result;
    return ReadMeshBytes(bytes, format, path, progress);
}

}  // namespace vorlane
