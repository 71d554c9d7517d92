// Mesh files in: OBJ, OFF, PLY (ASCII and binary), STL (ASCII and binary)
// and glTF 2.0 (.gltf and .glb) read into a ModelTable.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "base/progress.h"
#include "geometry/polyhedron.h"

namespace vorlane {

enum class MeshFormat { Obj, Off, Ply, Stl, Gltf, Glb };

// The format that path's extension names (case-insensitive); false for any
// other extension.
bool MeshFormatOfPath(const std::string& path, MeshFormat& format);

struct MeshReadResult {
    // Empty on success; otherwise "<name>: <reason>" in one line, bytes
    // echoed from the file shown with control characters escaped (\x1b).
    std::string error;
    // Triangles in the file's winding; polygons are split into triangles,
    // STL's and glTF's repeated corners are one vertex, vertices no face uses
    // are dropped.
    ModelTable table;
    // By vertex as the file numbers them (from 0), its vertex in table, or
    // -1 where no face uses it: the table numbers vertices by first use.
    // Empty for STL and glTF, whose files number no vertex of the whole.
    std::vector<int32_t> renumbered;
    // By table vertex, its colour as shown (sRGB, each of red, green, blue
    // in 0..1), where the file gives colours; empty where it gives none.
    std::vector<Vec3> colours;
    // What was read in part, one line each ("<name>: <what>"): an OBJ's
    // material library or texture that cannot be read. Empty on error.
    std::vector<std::string> warnings;
};

// Reads the mesh file at path, its format chosen by the extension. A glTF
// file gives the triangles of its default scene, placed by their nodes, its
// corners at one position welded into one vertex; its buffers and images
// are read only from data: uris and files in its own folder. Refuses
// unreadable, truncated or malformed files, anything but a regular file,
// unknown extensions, indices out of range, coordinates that are not finite
// floats, and meshes without a face. Never throws; on error the table is
// empty. progress, if set, hears of the read as it goes.
MeshReadResult ReadMeshFile(const std::string& path);
MeshReadResult ReadMeshFile(const std::string& path, const Progress& progress);

// The same for a file's bytes already in memory; name only labels the error.
// A glTF's files beside it are not read: only data: uris and a .glb's own.
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
