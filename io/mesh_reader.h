// Mesh files in: OBJ, OFF, PLY (ASCII and binary) and STL (ASCII and binary)
// read through OpenMesh's readers into a ModelTable.
#pragma once

#include <string>

#include "geometry/polyhedron.h"

namespace vorlane {

enum class MeshFormat { Obj, Off, Ply, Stl };

// The format that path's extension names (case-insensitive); false for any
// other extension.
bool MeshFormatOfPath(const std::string& path, MeshFormat& format);

struct MeshReadResult {
    // Empty on success; otherwise "<name>: <reason>" in one line.
    std::string error;
    // Triangles in the file's winding; polygons are split into triangles,
    // STL's repeated corners are one vertex, vertices no face uses are dropped.
    ModelTable table;
};

// Reads the mesh file at path, its format chosen by the extension. Refuses
// unreadable, truncated or malformed files, anything but a regular file,
// unknown extensions, indices out of range, coordinates that are not finite
// floats, and meshes without a face. Never throws; on error the table is
// empty.
MeshReadResult ReadMeshFile(const std::string& path);

// The same for a file's bytes already in memory; name only labels the error.
MeshReadResult ReadMeshBytes(const std::string& bytes, MeshFormat format, const std::string& name);

}  // namespace vorlane
