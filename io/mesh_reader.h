// Mesh files in: OBJ, OFF, PLY (ASCII and binary) and STL (ASCII and binary)
// read into a ModelTable.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "base/progress.h"
#include "geometry/polyhedron.h"

namespace vorlane {

enum class MeshFormat { Obj, Off, Ply, Stl };

// The format that path's extension names (case-insensitive); false for any
// other extension.
bool MeshFormatOfPath(const std::string& path, MeshFormat& format);

struct MeshReadResult {
    // Empty on success; otherwise "<name>: <reason>" in one line, bytes
    // echoed from the file shown with control characters escaped (\x1b).
    std::string error;
    // Triangles in the file's winding; polygons are split into triangles,
    // STL's repeated corners are one vertex, vertices no face uses are dropped.
    ModelTable table;
    // By vertex as the file numbers them (from 0), its vertex in table, or
    // -1 where no face uses it: the table numbers vertices by first use.
    // Empty for STL, whose file numbers no vertex.
    std::vector<int32_t> renumbered;
};

// Reads the mesh file at path, its format chosen by the extension. Refuses
// unreadable, truncated or malformed files, anything but a regular file,
// unknown extensions, indices out of range, coordinates that are not finite
// floats, and meshes without a face. Never throws; on error the table is
// empty. progress, if set, hears of the read as it goes.
MeshReadResult ReadMeshFile(const std::string& path);
MeshReadResult ReadMeshFile(const std::string& path, const Progress& progress);

// The same for a file's bytes already in memory; name only labels the error.
MeshReadResult ReadMeshBytes(const std::string& bytes, MeshFormat format, const std::string& name);
MeshReadResult ReadMeshBytes(const std::string& bytes, MeshFormat format, const std::string& name,
                             const Progress& progress);

// The same for a mesh already in arrays: points, and three corners a
// triangle counted from 0. Checked as a file is; triangles with a repeated
// corner are dropped, and so are points no triangle uses, the rest keeping
// their order. renumbered, if given, gets each point's index in the table
// (-1 for a dropped one).
MeshReadResult ReadMeshArrays(const std::vector<Vec3>& points, const std::vector<int64_t>& corners,
                              const std::string& name, std::vector<int32_t>* renumbered = nullptr);

}  // namespace vorlane
